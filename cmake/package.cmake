# vtxlab as a Debian package (cpack -G DEB): vtxlab in /usr/bin; the simulator library, the
# Linux builds of the helper, the collector and the monitor it runs in /usr/lib/vtxlab, found through each
# file's RPATH relative to its own place, so that the package also runs where it is unpacked;
# the manual page and the bash completion, both made from vtxlab's own --help.
include(${PROJECT_SOURCE_DIR}/cmake/source_date.cmake)
vtx_source_date_epoch(VTX_SOURCE_DATE_EPOCH)

set_target_properties(vtxlab PROPERTIES INSTALL_RPATH "$ORIGIN/../lib/vtxlab")
set_target_properties(vtxinh01 vtxdiag vtxpmo01 PROPERTIES INSTALL_RPATH "$ORIGIN")
install(TARGETS vtxlab RUNTIME DESTINATION bin)
install(TARGETS vtxsim vtxpmo01 LIBRARY DESTINATION lib/vtxlab)
install(TARGETS vtxinh01 vtxdiag RUNTIME DESTINATION lib/vtxlab)

set(VTX_PACKAGE_DIR ${PROJECT_BINARY_DIR}/package)
set(VTX_MAN_PAGE ${VTX_PACKAGE_DIR}/vtxlab.1.gz)
set(VTX_COMPLETION ${VTX_PACKAGE_DIR}/vtxlab)
add_custom_command(OUTPUT ${VTX_MAN_PAGE} ${VTX_COMPLETION}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${VTX_PACKAGE_DIR}
    COMMAND ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=${VTX_SOURCE_DATE_EPOCH} VTXSIM_MACHINE=
        bash ${PROJECT_SOURCE_DIR}/tools/package/make-manpage.sh $<TARGET_FILE:vtxlab>
            ${PROJECT_VERSION} ${VTX_MAN_PAGE}
    COMMAND bash ${PROJECT_SOURCE_DIR}/tools/package/make-completion.sh $<TARGET_FILE:vtxlab>
        ${VTX_COMPLETION}
    DEPENDS vtxlab ${PROJECT_SOURCE_DIR}/tools/package/make-manpage.sh
        ${PROJECT_SOURCE_DIR}/tools/package/make-completion.sh
    COMMENT "vtxlab's manual page and bash completion"
    VERBATIM)
add_custom_target(vtxlab_package_files ALL DEPENDS ${VTX_MAN_PAGE} ${VTX_COMPLETION})
install(FILES ${VTX_MAN_PAGE} DESTINATION share/man/man1)
install(FILES ${VTX_COMPLETION} DESTINATION share/bash-completion/completions)

# cpack builds nothing itself: `cmake --build ... --target vtxlab_package_files` first (make
# package and make release do), not the tests and benchmarks that "all" would.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vtxlab)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR Kelvara)
set(CPACK_PACKAGE_CONTACT "Kelvara <support@kelvara.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Draftaire USB printers' helper and monitor on a simulated Windows 98 machine")
set(CPACK_PACKAGE_DESCRIPTION
    "vtxlab runs the Linux builds of the Draftaire USB printers' setup helper (vtxinh01) and\n\
port monitor (vtxpmo01) on a simulated Windows 98 or ME machine that lasts between commands:\n\
attach and detach printers, print, restart, and explain a registry exported from a customer's\n\
machine.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION devel)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${PROJECT_BINARY_DIR}/platform/sim)
set(CPACK_DEBIAN_PACKAGE_SUGGESTS bash-completion)
set(CPACK_STRIP_FILES ON)
include(CPack)

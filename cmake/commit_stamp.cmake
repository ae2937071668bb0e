# Run as a script at each build (cmake -DSOURCE=<repository> -DOUTPUT=<header> -P ...): writes
# the commit checked out as VTX_COMMIT into the header, "-modified" added when tracked files
# differ from it, "unknown" outside a git checkout. The header is rewritten only when that
# changes, so that a build of the same commit compiles nothing again.
find_package(Git QUIET)
set(commit unknown)
if(GIT_FOUND)
    execute_process(COMMAND ${GIT_EXECUTABLE} rev-parse --short=12 HEAD
        WORKING_DIRECTORY ${SOURCE} OUTPUT_VARIABLE head OUTPUT_STRIP_TRAILING_WHITESPACE
        RESULT_VARIABLE failed ERROR_QUIET)
    if(NOT failed AND head)
        set(commit ${head})
        execute_process(COMMAND ${GIT_EXECUTABLE} status --porcelain --untracked-files=no
            WORKING_DIRECTORY ${SOURCE} OUTPUT_VARIABLE changes ERROR_QUIET)
        if(changes)
            string(APPEND commit -modified)
        endif()
    endif()
endif()
set(text "#define VTX_COMMIT \"${commit}\"\n")
if(EXISTS ${OUTPUT})
    file(READ ${OUTPUT} old)
endif()
if(NOT old STREQUAL text)
    file(WRITE ${OUTPUT} "${text}")
endif()

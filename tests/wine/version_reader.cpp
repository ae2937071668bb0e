// vtxver: reads the version information of each image named on its command line as Explorer
// does, through version.dll, and prints it as "name=value" lines for the Wine tests:
//
//   vtxver <image>...
//
// Per image an "Image=" line, the fixed part (FileVersion.fixed, ProductVersion.fixed as four
// numbers, FileType), the translation the strings are kept under and each string; a value
// that cannot be read prints as "<name>=<missing>". Exit status 1 when an image has no version
// information at all.
#include <windows.h>

#include <stdio.h>

namespace {

const char* const kStrings[] = {"CompanyName",  "FileDescription", "FileVersion",
                                "InternalName", "LegalCopyright",  "OriginalFilename",
                                "ProductName",  "ProductVersion"};

void PrintFixed(const char* name, DWORD high, DWORD low) {
    printf("%s.fixed=%lu.%lu.%lu.%lu\n", name, static_cast<unsigned long>(HIWORD(high)),
           static_cast<unsigned long>(LOWORD(high)), static_cast<unsigned long>(HIWORD(low)),
           static_cast<unsigned long>(LOWORD(low)));
}

bool PrintImage(const char* image) {
    printf("Image=%s\n", image);
    DWORD ignored = 0;
    DWORD size = GetFileVersionInfoSizeA(image, &ignored);
    if (size == 0) {
        printf("VersionInfo=none error=%lu\n", static_cast<unsigned long>(GetLastError()));
        return false;
    }
    BYTE* data = static_cast<BYTE*>(HeapAlloc(GetProcessHeap(), 0, size));
    if (data == NULL || !GetFileVersionInfoA(image, 0, size, data)) {
        printf("VersionInfo=unreadable error=%lu\n", static_cast<unsigned long>(GetLastError()));
        return false;
    }
    VS_FIXEDFILEINFO* fixed = NULL;
    UINT length = 0;
    char root[] = "\\";
    if (VerQueryValueA(data, root, reinterpret_cast<void**>(&fixed), &length) &&
        length >= sizeof(*fixed)) {
        PrintFixed("FileVersion", fixed->dwFileVersionMS, fixed->dwFileVersionLS);
        PrintFixed("ProductVersion", fixed->dwProductVersionMS, fixed->dwProductVersionLS);
        printf("FileType=%lu\n", static_cast<unsigned long>(fixed->dwFileType));
    } else {
        printf("Fixed=<missing>\n");
    }
    // The strings are found under the first translation the image names, as Explorer does.
    WORD* translation = NULL;
    char translations[] = "\\VarFileInfo\\Translation";
    if (!VerQueryValueA(data, translations, reinterpret_cast<void**>(&translation), &length) ||
        length < 2 * sizeof(WORD)) {
        printf("Translation=<missing>\n");
        HeapFree(GetProcessHeap(), 0, data);
        return true;
    }
    printf("Translation=%04x%04x\n", translation[0], translation[1]);
    for (const char* name : kStrings) {
        char path[96];
        snprintf(path, sizeof(path), "\\StringFileInfo\\%04x%04x\\%s", translation[0],
                 translation[1], name);
        char* value = NULL;
        if (VerQueryValueA(data, path, reinterpret_cast<void**>(&value), &length) && value != NULL)
            printf("%s=%s\n", name, value);
        else
            printf("%s=<missing>\n", name);
    }
    HeapFree(GetProcessHeap(), 0, data);
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        fprintf(stderr, "usage: vtxver <image>...\n");
        return 2;
    }
    int status = 0;
    for (int i = 1; i < argc; ++i)
        if (!PrintImage(argv[i]))
            status = 1;
    return status;
}

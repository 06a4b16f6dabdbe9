// Writes the application manifest of an executable, as Windows finds it
// when it starts the program (resource type RT_MANIFEST, id 1), to stdout:
//   manifest_resource EXE
// Exits 1 when the file cannot be loaded or holds no such resource.
#include <windows.h>

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: manifest_resource EXE\n");
        return 2;
    }
    // As data only: nothing of the file runs, and an executable of the other
    // architecture loads as well.
    HMODULE file = LoadLibraryExA(argv[1], nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (!file) {
        std::fprintf(stderr, "cannot load %s (error %lu)\n", argv[1], GetLastError());
        return 1;
    }
    int status = 1;
    HRSRC found = FindResourceA(file, CREATEPROCESS_MANIFEST_RESOURCE_ID, RT_MANIFEST);
    HGLOBAL loaded = found ? LoadResource(file, found) : nullptr;
    const void* bytes = loaded ? LockResource(loaded) : nullptr;
    if (bytes) {
        const DWORD size = SizeofResource(file, found);
        DWORD written = 0;
        if (WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), bytes, size, &written, nullptr) && written == size) status = 0;
    } else {
        std::fprintf(stderr, "%s holds no manifest resource with id 1\n", argv[1]);
    }
    FreeLibrary(file);
    return status;
}

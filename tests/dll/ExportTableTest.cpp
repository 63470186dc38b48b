// The built DLL as a host's linker and loader see it: the export table, the calling convention
// and what it imports. Its version block is the consumer's to check, in the release.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "VelTrayApi.h"

namespace {

// The 18 names in the order of their ordinals, and the bytes of arguments each takes.
const char* const kNames[] = {
#define VEL_EXPORT(name) #name,
#include "VelTrayExports.inc"
#undef VEL_EXPORT
};
const DWORD kArgBytes[] = {12, 8, 8, 8, 8, 20, 8, 8, 8, 4, 0, 12, 8, 4, 0, 8, 0, 0};

// Calls a function with 32-bit arguments and returns how far the stack pointer moved across the
// call: 0 when the callee removed its arguments (stdcall).
int StackDeltaOfCall(FARPROC pfn, const DWORD* pArgs, DWORD nArgs) {
    int nDelta;
    // Pushes the arguments last first, calls, and measures the stack before putting it back.
    asm volatile(
        "movl %%esp, %%esi\n\t1: testl %%ecx, %%ecx\n\tjz 2f\n\tpushl -4(%%edi,%%ecx,4)\n\t"
        "decl %%ecx\n\tjmp 1b\n\t2: call *%%ebx\n\tmovl %%esi, %%eax\n\tsubl %%esp, %%eax\n\t"
        "movl %%esi, %%esp\n\t"
        : "=a"(nDelta), "+c"(nArgs)
        : "b"(pfn), "D"(pArgs)
        : "edx", "esi", "memory", "cc");
    return nDelta;
}

}  // namespace

TEST(LoadedDll, ExportsAndImportsAreWhatAHostExpects) {
    const std::string path = VelTrayApi::ProgramFolder() + "velTrayLib.dll";
    const HMODULE hModule = LoadLibraryA(path.c_str());
    ASSERT_NE(hModule, nullptr);
    const auto rva = [&](DWORD nRva) { return reinterpret_cast<const char*>(hModule) + nRva; };
    const auto& dirs = reinterpret_cast<const IMAGE_NT_HEADERS32*>(
                           rva(reinterpret_cast<const IMAGE_DOS_HEADER*>(hModule)->e_lfanew))
                           ->OptionalHeader.DataDirectory;
    const auto* pExports = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(
        rva(dirs[IMAGE_DIRECTORY_ENTRY_EXPORT].VirtualAddress));
    EXPECT_STREQ(rva(pExports->Name), "velTrayLib.dll");
    ASSERT_EQ(
        (std::vector<DWORD>{pExports->NumberOfNames, pExports->NumberOfFunctions, pExports->Base}),
        (std::vector<DWORD>{18, 18, 1}));
    // Undecorated names with the ordinals of their alphabetical order; every export removes its
    // own arguments (stopped first, each returns at once).
    const auto* pNames = reinterpret_cast<const DWORD*>(rva(pExports->AddressOfNames));
    const auto* pOrdinals = reinterpret_cast<const WORD*>(rva(pExports->AddressOfNameOrdinals));
    const DWORD args[5] = {};
    StackDeltaOfCall(GetProcAddress(hModule, "velStopTray"), nullptr, 0);
    for (DWORD i = 0; i < 18; ++i) {
        ASSERT_LT(pOrdinals[i], 18u);
        EXPECT_STREQ(rva(pNames[i]), kNames[pOrdinals[i]]);
        EXPECT_EQ(GetProcAddress(hModule, rva(pNames[i])),
                  GetProcAddress(hModule, MAKEINTRESOURCEA(pOrdinals[i] + 1)));
        EXPECT_EQ(StackDeltaOfCall(GetProcAddress(hModule, kNames[i]), args, kArgBytes[i] / 4), 0)
            << kNames[i];
    }
    // System libraries only.
    const std::string system =
        " kernel32.dll user32.dll gdi32.dll shell32.dll ole32.dll "
        "oleaut32.dll oleacc.dll comctl32.dll advapi32.dll msvcrt.dll ";
    auto* pImport = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(
        rva(dirs[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress));
    for (; pImport->Name != 0; ++pImport) {
        std::string name = " " + std::string(rva(pImport->Name)) + " ";
        EXPECT_NE(system.find(CharLowerA(&name[0])), std::string::npos) << name;
    }
    FreeLibrary(hModule);
}

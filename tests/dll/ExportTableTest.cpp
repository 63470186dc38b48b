// The built DLL as a host's linker and loader see it: the export table, the
// calling convention, what it imports and its version block.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

#include "VelTrayApi.h"

namespace {

// The 18 export names in alphabetical order, so ordinal n is kExportNames[n - 1].
const char* const kExportNames[] = {
    "velAddChipMenuItem", "velAddChipTray",     "velAddSEMMenuItem",   "velCardAbsent",
    "velCardActive",      "velCardIdentified",  "velCardIdentify",     "velCardPresent",
    "velCardUnknown",     "velHideChipIcon",    "velHideInformation",  "velMMVAlert",
    "velSetDsgnColors",   "velShowInformation", "velStartSEMRotation", "velStartTray",
    "velStopSEMRotation", "velStopTray"};

// Bytes of arguments each export takes, in the same order.
const DWORD kArgBytes[] = {12, 8, 8, 8, 8, 20, 8, 8, 8, 4, 0, 12, 8, 4, 0, 8, 0, 0};

class LoadedDll : public ::testing::Test {
  protected:
    void SetUp() override {
        m_hModule = LoadLibraryA((VelTrayApi::ProgramFolder() + "velTrayLib.dll").c_str());
        ASSERT_NE(m_hModule, nullptr);
        m_pBase = reinterpret_cast<const BYTE*>(m_hModule);
        const auto* pDos = reinterpret_cast<const IMAGE_DOS_HEADER*>(m_pBase);
        m_pNt = reinterpret_cast<const IMAGE_NT_HEADERS32*>(m_pBase + pDos->e_lfanew);
    }
    void TearDown() override { FreeLibrary(m_hModule); }

    template <typename T>
    const T* Directory(int nIndex) const {
        const IMAGE_DATA_DIRECTORY& dir = m_pNt->OptionalHeader.DataDirectory[nIndex];
        return dir.VirtualAddress != 0 ? reinterpret_cast<const T*>(m_pBase + dir.VirtualAddress)
                                       : nullptr;
    }
    const char* Rva(DWORD nRva) const { return reinterpret_cast<const char*>(m_pBase + nRva); }

    HMODULE m_hModule = nullptr;
    const BYTE* m_pBase = nullptr;
    const IMAGE_NT_HEADERS32* m_pNt = nullptr;
};

// Calls a function with the given 32-bit arguments and returns how far the stack
// pointer moved across the call: 0 when the callee removed its arguments (stdcall).
int StackDeltaOfCall(FARPROC pfn, const DWORD* pArgs, DWORD nArgs) {
    int nDelta;
    DWORD nCount = nArgs;
    asm volatile(
        "movl %%esp, %%esi\n\t"
        "1:\n\t"
        "testl %%ecx, %%ecx\n\t"
        "jz 2f\n\t"
        "pushl -4(%%edi,%%ecx,4)\n\t"
        "decl %%ecx\n\t"
        "jmp 1b\n\t"
        "2:\n\t"
        "call *%%ebx\n\t"
        "movl %%esi, %%eax\n\t"
        "subl %%esp, %%eax\n\t"
        "movl %%esi, %%esp\n\t"
        : "=a"(nDelta), "+c"(nCount)
        : "b"(pfn), "D"(pArgs)
        : "edx", "esi", "memory", "cc");
    return nDelta;
}

}  // namespace

TEST_F(LoadedDll, ExportsTheEighteenNamesWithAlphabeticalOrdinals) {
    const auto* pExports = Directory<IMAGE_EXPORT_DIRECTORY>(IMAGE_DIRECTORY_ENTRY_EXPORT);
    ASSERT_NE(pExports, nullptr);
    EXPECT_STREQ(Rva(pExports->Name), "velTrayLib.dll");
    ASSERT_EQ(pExports->NumberOfNames, 18u);
    ASSERT_EQ(pExports->NumberOfFunctions, 18u);
    EXPECT_EQ(pExports->Base, 1u);
    const auto* pNames = reinterpret_cast<const DWORD*>(m_pBase + pExports->AddressOfNames);
    const auto* pOrdinals =
        reinterpret_cast<const WORD*>(m_pBase + pExports->AddressOfNameOrdinals);
    for (DWORD i = 0; i < pExports->NumberOfNames; ++i) {
        const std::string name = Rva(pNames[i]);
        const DWORD nOrdinal = pOrdinals[i] + pExports->Base;
        ASSERT_GE(nOrdinal, 1u);
        ASSERT_LE(nOrdinal, 18u);
        EXPECT_EQ(name, kExportNames[nOrdinal - 1]) << "ordinal " << nOrdinal;
        EXPECT_EQ(name.find('@'), std::string::npos) << name << " is decorated";
        EXPECT_EQ(GetProcAddress(m_hModule, name.c_str()),
                  GetProcAddress(m_hModule, MAKEINTRESOURCEA(nOrdinal)));
    }
}

TEST_F(LoadedDll, EveryExportRemovesItsOwnArguments) {
    // Once stopped, every export returns at once, so any arguments are harmless.
    FARPROC pfnStop = GetProcAddress(m_hModule, "velStopTray");
    ASSERT_NE(pfnStop, nullptr);
    EXPECT_EQ(StackDeltaOfCall(pfnStop, nullptr, 0), 0);
    const DWORD args[5] = {};
    for (size_t i = 0; i < std::size(kExportNames); ++i) {
        FARPROC pfn = GetProcAddress(m_hModule, kExportNames[i]);
        ASSERT_NE(pfn, nullptr) << kExportNames[i];
        EXPECT_EQ(StackDeltaOfCall(pfn, args, kArgBytes[i] / 4), 0) << kExportNames[i];
    }
}

TEST_F(LoadedDll, ImportsSystemLibrariesOnly) {
    const char* const kSystem[] = {"kernel32.dll", "user32.dll",   "gdi32.dll",  "shell32.dll",
                                   "ole32.dll",    "oleaut32.dll", "oleacc.dll", "comctl32.dll",
                                   "advapi32.dll", "msvcrt.dll"};
    const auto* pImport = Directory<IMAGE_IMPORT_DESCRIPTOR>(IMAGE_DIRECTORY_ENTRY_IMPORT);
    ASSERT_NE(pImport, nullptr);
    int nImports = 0;
    for (; pImport->Name != 0; ++pImport, ++nImports) {
        std::string name = Rva(pImport->Name);
        std::transform(name.begin(), name.end(), name.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        EXPECT_NE(std::find(std::begin(kSystem), std::end(kSystem), name), std::end(kSystem))
            << "imports " << name;
    }
    EXPECT_GT(nImports, 0);
}

TEST_F(LoadedDll, CarriesAVersionBlock) {
    const std::string path = VelTrayApi::ProgramFolder() + "velTrayLib.dll";
    DWORD dwHandle = 0;
    const DWORD nSize = GetFileVersionInfoSizeA(path.c_str(), &dwHandle);
    ASSERT_GT(nSize, 0u);
    std::vector<BYTE> block(nSize);
    ASSERT_TRUE(GetFileVersionInfoA(path.c_str(), 0, nSize, block.data()));
    VS_FIXEDFILEINFO* pInfo = nullptr;
    UINT nLen = 0;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&pInfo), &nLen));
    EXPECT_EQ(pInfo->dwSignature, 0xFEEF04BDu);
    EXPECT_EQ(pInfo->dwFileType, static_cast<DWORD>(VFT_DLL));
    char* pszName = nullptr;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\StringFileInfo\\040704B0\\OriginalFilename",
                               reinterpret_cast<void**>(&pszName), &nLen));
    EXPECT_STREQ(pszName, "velTrayLib.dll");
}

// The design provider with the shipped component, without one, and with components that
// answer oddly (build/bin/testdata/design). Components that cannot serve at all are staged
// beside the built library by the fault program (tests/faults).
#include <gtest/gtest.h>
#include <ole2.h>

#include <string>

#include "core/velTrayLibApp.h"
#include "design/velDsgn.h"

namespace {

// The folder of the test program, ending with a backslash.
std::string ProgramFolder() {
    char name[MAX_PATH];
    const DWORD nLength = GetModuleFileNameA(nullptr, name, MAX_PATH);
    std::string folder(name, nLength);
    return folder.substr(0, folder.rfind('\\') + 1);
}

// A test build of the component or the anchor module.
std::string TestData(const char* pszVariant, const char* pszFile) {
    return ProgramFolder() + "testdata\\design\\" + pszVariant + "\\" + pszFile;
}

// The colours of 201 to 209 that the library and the shipped component agree on.
constexpr COLORREF kTableColors[9] = {0x48AF41, 0x000000, 0x48AF41, 0x000000, 0xFFFFFF,
                                      0xFFFFFF, 0xAFAFAF, 0x202020, 0xFFB060};

// A temporary folder that plays the library's folder: for its life g_hLibInstance is a
// module loaded from there, so the provider looks for velDsgn.dll in it.
class DesignStage {
  public:
    // Makes the folder, loads the anchor module from it and makes it the library's.
    DesignStage() : m_hAnchor(nullptr), m_hPrevious(g_hLibInstance) {
        static int s_nStages = 0;
        char temp[MAX_PATH];
        GetTempPathA(MAX_PATH, temp);
        // A folder left by an earlier run may still hold a component: only a new one will do.
        do {
            m_strDir = std::string(temp) + "velDsgnTest-" + std::to_string(GetCurrentProcessId()) +
                       "-" + std::to_string(++s_nStages) + "\\";
        } while (!CreateDirectoryA(m_strDir.c_str(), nullptr) &&
                 GetLastError() == ERROR_ALREADY_EXISTS);
        const std::string anchor = m_strDir + "velAnchor.dll";
        if (CopyFileA(TestData("anchor", "velAnchor.dll").c_str(), anchor.c_str(), FALSE)) {
            m_hAnchor = LoadLibraryA(anchor.c_str());
        }
        g_hLibInstance = m_hAnchor;
    }
    // Gives g_hLibInstance back and removes the folder; velDsgn.dll must be unloaded.
    ~DesignStage() {
        g_hLibInstance = m_hPrevious;
        if (m_hAnchor != nullptr) FreeLibrary(m_hAnchor);
        DeleteFileA((m_strDir + "velAnchor.dll").c_str());
        DeleteFileA(ComponentPath().c_str());
        RemoveDirectoryA(m_strDir.c_str());
    }
    DesignStage(const DesignStage&) = delete;
    DesignStage& operator=(const DesignStage&) = delete;

    // The module that plays the library; null when the anchor could not be staged.
    HMODULE Library() const { return m_hAnchor; }
    // Where the provider looks for the component.
    std::string ComponentPath() const { return m_strDir + "velDsgn.dll"; }
    // Copies a file there as velDsgn.dll.
    bool Place(const std::string& source) const {
        return m_hAnchor != nullptr && CopyFileA(source.c_str(), ComponentPath().c_str(), FALSE);
    }

  private:
    std::string m_strDir;   // the folder, ending with a backslash
    HMODULE m_hAnchor;      // the module playing the library, loaded from the folder
    HINSTANCE m_hPrevious;  // g_hLibInstance before the stage
};

// One answer of the provider.
struct Answer {
    HRESULT hr;
    StatusWord status;
    VARIANT var;
};

Answer Ask(CvelDsgn& dsgn, LONG nId) {
    Answer answer;
    VariantInit(&answer.var);
    answer.status = 0x5A5A5A5A;
    answer.hr = dsgn.GetProperty(nId, &answer.var, &answer.status);
    return answer;
}

// Checks the local answers of a provider that has no component.
void ExpectLocalAnswers(CvelDsgn& dsgn) {
    Answer text = Ask(dsgn, 304);
    EXPECT_EQ(text.hr, S_OK);
    EXPECT_EQ(text.status, ST_OK);
    ASSERT_EQ(text.var.vt, VT_BSTR);
    EXPECT_STREQ(text.var.bstrVal, L"Tessaroth");
    // The caller gets a copy: changing it leaves the stored text alone.
    text.var.bstrVal[0] = L'X';
    VariantClear(&text.var);
    Answer again = Ask(dsgn, 304);
    ASSERT_EQ(again.var.vt, VT_BSTR);
    EXPECT_STREQ(again.var.bstrVal, L"Tessaroth");
    VariantClear(&again.var);

    Answer product = Ask(dsgn, 102);
    ASSERT_EQ(product.var.vt, VT_BSTR);
    EXPECT_STREQ(product.var.bstrVal, L"Tessaroth Quillmark");
    VariantClear(&product.var);

    // An empty name replaces whatever the caller's VARIANT held.
    VARIANT var;
    var.vt = VT_BSTR;
    var.bstrVal = SysAllocString(L"held");
    StatusWord status = 0;
    EXPECT_EQ(dsgn.GetProperty(311, &var, &status), S_OK);
    EXPECT_EQ(status, ST_OK);
    EXPECT_EQ(var.vt, VT_EMPTY);

    const struct {
        LONG nId;
        DWORD value;
    } numbers[] = {{101, 0},        {103, 0},        {107, 0},        {110, 0},
                   {113, 0},        {201, 0x48AF41}, {205, 0xFFFFFF}, {207, 0xAFAFAF},
                   {208, 0x202020}, {209, 0xFFB060}};
    for (const auto& number : numbers) {
        Answer answer = Ask(dsgn, number.nId);
        EXPECT_EQ(answer.hr, S_OK) << number.nId;
        EXPECT_EQ(answer.status, ST_OK) << number.nId;
        EXPECT_EQ(answer.var.vt, VT_UI4) << number.nId;
        EXPECT_EQ(answer.var.ulVal, number.value) << number.nId;
    }

    // Ids outside the table: success, the failure status and the VARIANT untouched.
    for (const LONG nId : {108L, 109L, 100L, 114L, 200L, 210L, 300L, 314L, -1L}) {
        var.vt = VT_I4;
        var.lVal = 77;
        status = 0;
        EXPECT_EQ(dsgn.GetProperty(nId, &var, &status), S_OK) << nId;
        EXPECT_EQ(status, ST_E_INVALIDARG) << nId;
        EXPECT_EQ(var.vt, VT_I4) << nId;
        EXPECT_EQ(var.lVal, 77) << nId;
    }

    // Without a status pointer the answer still comes.
    VariantInit(&var);
    EXPECT_EQ(dsgn.GetProperty(313, &var, nullptr), S_OK);
    ASSERT_EQ(var.vt, VT_BSTR);
    EXPECT_STREQ(var.bstrVal, L"Tessaroth Quillmark CRL Loader");
    VariantClear(&var);
    EXPECT_EQ(dsgn.GetProperty(206, &var, nullptr), S_OK);
    EXPECT_EQ(var.ulVal, 0xFFFFFFu);

    EXPECT_EQ(dsgn.GetIcon(), nullptr);
    EXPECT_STREQ(dsgn.GetProductName(), "");
    for (LONG nId = 201; nId <= 209; ++nId) {
        EXPECT_EQ(dsgn.GetColor(nId), kTableColors[nId - 201]) << nId;
    }
}

// Whether a module is loaded from this path.
bool IsLoaded(const std::string& path) { return GetModuleHandleA(path.c_str()) != nullptr; }

}  // namespace

TEST(DesignProvider, AnswersLocallyWithoutAComponent) {
    DesignStage stage;
    ASSERT_NE(stage.Library(), nullptr);
    CvelDsgn constructed;
    ExpectLocalAnswers(constructed);
    CvelDsgn started;
    started.Init();
    ExpectLocalAnswers(started);
    for (LONG nId : {200L, 210L, 101L}) EXPECT_EQ(started.GetColor(nId), CLR_INVALID) << nId;
}

TEST(DesignProvider, ReadsTheShippedComponentAndReleasesItAtEveryNewStart) {
    DesignStage stage;
    ASSERT_TRUE(stage.Place(ProgramFolder() + "velDsgn.dll"));
    const std::string component = stage.ComponentPath();
    {
        CvelDsgn dsgn;
        for (int nStart = 0; nStart < 2; ++nStart) {
            dsgn.Init();
            EXPECT_TRUE(IsLoaded(component));
            EXPECT_NE(dsgn.GetIcon(), nullptr);
            EXPECT_STREQ(dsgn.GetProductName(), "Tessaroth Quillmark");
            for (LONG nId = 201; nId <= 209; ++nId) {
                EXPECT_EQ(dsgn.GetColor(nId), kTableColors[nId - 201]) << nId;
            }
            HICON pictures[4] = {};
            for (LONG nId = 110; nId <= 113; ++nId) {
                Answer answer = Ask(dsgn, nId);
                EXPECT_EQ(answer.hr, S_OK);
                EXPECT_GT(answer.status, 0);
                EXPECT_EQ(answer.var.vt, VT_UI4);
                pictures[nId - 110] = reinterpret_cast<HICON>(answer.var.ulVal);
                EXPECT_NE(pictures[nId - 110], nullptr) << nId;
                for (LONG nEarlier = 110; nEarlier < nId; ++nEarlier) {
                    EXPECT_NE(pictures[nEarlier - 110], pictures[nId - 110]) << nId;
                }
            }
            // The component does not know 304: the request went to it, not to the
            // local table.
            Answer name = Ask(dsgn, 304);
            EXPECT_LT(name.status, 0);
            EXPECT_EQ(name.var.vt, VT_EMPTY);
            VARIANT var;
            VariantInit(&var);
            EXPECT_EQ(dsgn.GetProperty(205, &var, nullptr), S_OK);
            EXPECT_EQ(var.vt, VT_UI4);
            EXPECT_EQ(var.ulVal, 0xFFFFFFu);
        }
        // A start that finds no component gives back the one it held and answers as a
        // provider that never had one.
        {
            DesignStage empty;
            dsgn.Init();
            EXPECT_FALSE(IsLoaded(component));
            ExpectLocalAnswers(dsgn);
        }
        dsgn.Init();
        EXPECT_TRUE(IsLoaded(component));
    }
    // Two loads and the last one all went with the provider.
    EXPECT_FALSE(IsLoaded(component));
}

TEST(DesignProvider, FailedOrOddReadsTakeTheFallbacks) {
    {
        DesignStage stage;
        ASSERT_TRUE(stage.Place(TestData("odd", "velDsgn.dll")));
        CvelDsgn dsgn;
        dsgn.Init();
        const HICON hFallback = LoadIconA(stage.Library(), MAKEINTRESOURCEA(101));
        ASSERT_NE(hFallback, nullptr);
        EXPECT_EQ(dsgn.GetIcon(), hFallback);
        // A null BSTR is an empty name, not the built-in one.
        EXPECT_STREQ(dsgn.GetProductName(), "");
        EXPECT_EQ(dsgn.GetColor(201), 0x48AF41u);  // a text is no colour
        EXPECT_EQ(dsgn.GetColor(202), 0x123456u);
        EXPECT_EQ(dsgn.GetColor(205), 0xFFFFFFu);  // failed
        EXPECT_EQ(dsgn.GetColor(206), 0xFFFFFFFFu);
        EXPECT_EQ(dsgn.GetColor(209), 0xFFB060u);
    }
    {
        DesignStage stage;
        ASSERT_TRUE(stage.Place(TestData("failing", "velDsgn.dll")));
        CvelDsgn dsgn;
        dsgn.Init();
        EXPECT_EQ(dsgn.GetIcon(), LoadIconA(stage.Library(), MAKEINTRESOURCEA(101)));
        // A number where the name belongs is no text to read.
        EXPECT_STREQ(dsgn.GetProductName(), "");
        for (LONG nId = 201; nId <= 209; ++nId) {
            EXPECT_EQ(dsgn.GetColor(nId), kTableColors[nId - 201]) << nId;
        }
        // Later requests go to the component and come back as it answers.
        Answer answer = Ask(dsgn, 205);
        EXPECT_EQ(answer.hr, E_FAIL);
        EXPECT_EQ(answer.status, ST_E_FAIL);
    }
}

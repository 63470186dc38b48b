// The design provider with the shipped component, without one, and with components that answer
// oddly (build/bin/testdata/design). Components that cannot serve at all are staged beside the
// built library by the fault program (tests/faults).
#include <gtest/gtest.h>
#include <ole2.h>

#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "core/velTrayLibApp.h"
#include "design/velDsgn.h"

namespace {

// A test build of the component or the anchor module.
std::string TestData(const char* pszFile) {
    return ProgramFolder() + "testdata\\design\\" + pszFile;
}

// A folder that plays the library's folder, with a component copied in as velDsgn.dll: for its
// life g_hLibInstance is a module loaded from there, so the provider looks for the component in it.
struct DesignStage : TempFolder {
    explicit DesignStage(const std::string& component = "")
        : hAnchor(
              (Copy(TestData("anchor\\velAnchor.dll"), "velAnchor.dll"), Load("velAnchor.dll"))),
          hPrevious(g_hLibInstance) {
        g_hLibInstance = hAnchor;
        EXPECT_TRUE(hAnchor != nullptr && (component.empty() || Copy(component, "velDsgn.dll")));
    }
    ~DesignStage() { g_hLibInstance = hPrevious; }
    HMODULE hAnchor;      // the module playing the library
    HINSTANCE hPrevious;  // g_hLibInstance before the stage
};

std::string Hex(unsigned long nValue) {
    char sz[16];
    wsprintfA(sz, "%lx", nValue);
    return sz;
}

// One answer of the provider: "result status type value" in hex, a text between quotes. The text
// handed out is the caller's copy: it is spoilt here, and later answers must not show it.
std::string Ask(CvelDsgn& dsgn, LONG nId) {
    VARIANT var;
    var.vt = VT_I4;
    var.lVal = 0x77;
    StatusWord nStatus = 0x5A5A5A5A;
    const HRESULT hr = dsgn.GetProperty(nId, &var, &nStatus);
    std::string answer = Hex(hr) + " " + Hex(nStatus) + " " + std::to_string(var.vt) + " ";
    if (var.vt == VT_UI4 || var.vt == VT_I4) answer += Hex(var.ulVal);
    if (var.vt == VT_BSTR && var.bstrVal != nullptr) {
        char szText[128] = "";
        WideCharToMultiByte(CP_ACP, 0, var.bstrVal, -1, szText, sizeof szText, nullptr, nullptr);
        answer += "'" + std::string(szText) + "'";
        var.bstrVal[0] = L'X';
    }
    VariantClear(&var);
    return answer;
}

// The local answers of a provider without component: its own texts and numbers, the failure
// status for ids outside its table with the VARIANT untouched, and no icon or name stored.
void ExpectLocalAnswers(CvelDsgn& dsgn) {
    const std::string ok = "0 21000001 ";
    for (const auto& [nId, answer] :
         std::vector<std::pair<LONG, std::string>>{{304, ok + "8 'Tessaroth'"},
                                                   {304, ok + "8 'Tessaroth'"},
                                                   {102, ok + "8 'Tessaroth Quillmark'"},
                                                   {313, ok + "8 'Tessaroth Quillmark CRL Loader'"},
                                                   {311, ok + "0 "},
                                                   {101, ok + "19 0"},
                                                   {103, ok + "19 0"},
                                                   {107, ok + "19 0"},
                                                   {110, ok + "19 0"},
                                                   {113, ok + "19 0"},
                                                   {201, ok + "19 48af41"},
                                                   {202, ok + "19 0"},
                                                   {203, ok + "19 48af41"},
                                                   {204, ok + "19 0"},
                                                   {205, ok + "19 ffffff"},
                                                   {206, ok + "19 ffffff"},
                                                   {207, ok + "19 afafaf"},
                                                   {208, ok + "19 202020"},
                                                   {209, ok + "19 ffb060"}})
        EXPECT_EQ(Ask(dsgn, nId), answer) << nId;
    for (const LONG nId : {108L, 109L, 100L, 114L, 200L, 210L, 300L, 314L, -1L})
        EXPECT_EQ(Ask(dsgn, nId), "0 e100fffc 3 77") << nId;
    // Without a status pointer the answer still comes; the stored colours are those answered.
    VARIANT var;
    VariantInit(&var);
    EXPECT_EQ(dsgn.GetProperty(206, &var, nullptr), S_OK);
    EXPECT_EQ(var.ulVal, 0xFFFFFFu);
    EXPECT_EQ(dsgn.GetIcon(), nullptr);
    EXPECT_STREQ(dsgn.GetProductName(), "");
    for (LONG nId = 201; nId <= 209; ++nId)
        EXPECT_EQ(ok + "19 " + Hex(dsgn.GetColor(nId)), Ask(dsgn, nId)) << nId;
}

}  // namespace

TEST(DesignProvider, AnswersLocallyWithoutAComponent) {
    DesignStage stage;
    CvelDsgn constructed, started;
    ExpectLocalAnswers(constructed);
    started.Init();
    ExpectLocalAnswers(started);
    for (LONG nId : {200L, 210L, 101L}) EXPECT_EQ(started.GetColor(nId), CLR_INVALID) << nId;
}

TEST(DesignProvider, ReadsTheShippedComponentAndReleasesItAtEveryNewStart) {
    DesignStage stage(ProgramFolder() + "velDsgn.dll");
    const auto loaded = [&] { return GetModuleHandleA(stage("velDsgn.dll").c_str()) != nullptr; };
    {
        CvelDsgn dsgn;
        for (int nStart = 0; nStart < 2; ++nStart) {
            dsgn.Init();
            EXPECT_TRUE(loaded());
            EXPECT_NE(dsgn.GetIcon(), nullptr);
            EXPECT_STREQ(dsgn.GetProductName(), "Tessaroth Quillmark");
            // The stored colours are the component's answers.
            for (LONG nId = 201; nId <= 209; ++nId)
                EXPECT_EQ("0 21000001 19 " + Hex(dsgn.GetColor(nId)), Ask(dsgn, nId)) << nId;
            // Four different pictures, answered with a status above 0; the component does not
            // know 304: the request went to it, not to the local table.
            std::set<unsigned long> pictures;
            for (LONG nId = 110; nId <= 114; ++nId) {
                unsigned long hr = 1, nStatus = 0, nValue = 0;
                unsigned vt = 0;
                sscanf(Ask(dsgn, nId == 114 ? 304 : nId).c_str(), "%lx %lx %u %lx", &hr, &nStatus,
                       &vt, &nValue);
                EXPECT_EQ(hr, 0u);
                EXPECT_EQ(static_cast<LONG>(nStatus) > 0   ? 1
                          : static_cast<LONG>(nStatus) < 0 ? -1
                                                           : 0,
                          nId < 114 ? 1 : -1)
                    << nId;
                EXPECT_EQ(vt, nId < 114 ? VT_UI4 : VT_EMPTY) << nId;
                if (nId < 114) pictures.insert(nValue);
            }
            EXPECT_EQ(pictures.size(), 4u);
            EXPECT_EQ(pictures.count(0), 0u);
        }
        // A start that finds no component gives back the one it held and answers as a provider
        // that never had one.
        {
            DesignStage empty;
            dsgn.Init();
            EXPECT_FALSE(loaded());
            ExpectLocalAnswers(dsgn);
        }
        dsgn.Init();
        EXPECT_TRUE(loaded());
    }
    // Two loads and the last one all went with the provider.
    EXPECT_FALSE(loaded());
}

TEST(DesignProvider, FailedOrOddReadsTakeTheFallbacks) {
    CvelDsgn local;
    {
        DesignStage stage(TestData("odd\\velDsgn.dll"));
        CvelDsgn dsgn;
        dsgn.Init();
        EXPECT_EQ(dsgn.GetIcon(), LoadIconA(stage.hAnchor, MAKEINTRESOURCEA(101)));
        EXPECT_NE(dsgn.GetIcon(), nullptr);
        // A null BSTR is an empty name, not the built-in one; a text is no colour, a failure leaves
        // the built-in one.
        EXPECT_STREQ(dsgn.GetProductName(), "");
        EXPECT_EQ(std::vector<COLORREF>({dsgn.GetColor(201), dsgn.GetColor(202), dsgn.GetColor(205),
                                         dsgn.GetColor(206), dsgn.GetColor(209)}),
                  std::vector<COLORREF>({local.GetColor(201), 0x123456, local.GetColor(205),
                                         0xFFFFFFFF, local.GetColor(209)}));
    }
    DesignStage stage(TestData("failing\\velDsgn.dll"));
    CvelDsgn dsgn;
    dsgn.Init();
    EXPECT_EQ(dsgn.GetIcon(), LoadIconA(stage.hAnchor, MAKEINTRESOURCEA(101)));
    // A number where the name belongs is no text to read.
    EXPECT_STREQ(dsgn.GetProductName(), "");
    for (LONG nId = 201; nId <= 209; ++nId)
        EXPECT_EQ(dsgn.GetColor(nId), local.GetColor(nId)) << nId;
    // Later requests go to the component and come back as it answers.
    EXPECT_EQ(Ask(dsgn, 205).substr(0, 18), "80004005 e100ffff ");
}

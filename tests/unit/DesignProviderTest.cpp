// The design provider with the shipped component, without one, and with components that answer
// oddly (build/bin/testdata/design). Components that cannot serve at all are staged beside the
// built library by the fault program (tests/faults).
#include <gtest/gtest.h>
#include <ole2.h>

#include <set>
#include <string>
#include <utility>

#include "TestSupport.h"
#include "core/velTrayLibApp.h"
#include "design/velDsgn.h"

namespace {

// A test build of the component or the anchor module.
std::string TestData(const std::string& file) {
    return ProgramFolder() + "testdata\\design\\" + file;
}

// A folder that plays the library's folder, with a component copied in as velDsgn.dll: for its
// life g_hLibInstance is a module loaded from there, so the provider looks for the component in it.
struct DesignStage : TempFolder {
    explicit DesignStage(const std::string& component = "")
        : hAnchor(
              (Copy(TestData("anchor\\velAnchor.dll"), "velAnchor.dll"), Load("velAnchor.dll"))) {
        EXPECT_TRUE(hAnchor != nullptr && (component.empty() || Copy(component, "velDsgn.dll")));
    }
    ~DesignStage() { g_hLibInstance = hPrevious; }
    HMODULE hAnchor;                                               // the module playing the library
    HINSTANCE hPrevious = std::exchange(g_hLibInstance, hAnchor);  // the one before the stage
};

std::string Hex(unsigned long nValue) {
    char sz[16];
    wsprintfA(sz, "%lx", nValue);
    return sz;
}

// One answer of the provider: "result status type value" in hex, "ok" for the result and status
// of success.
std::string Ask(CvelDsgn& dsgn, LONG nId) {
    VARIANT var;
    var.vt = VT_I4;
    var.lVal = 0x77;
    StatusWord nStatus = 0x5A5A5A5A;
    const HRESULT hr = dsgn.GetProperty(nId, &var, &nStatus);
    std::string answer = (hr == S_OK && nStatus == ST_OK ? "ok" : Hex(hr) + " " + Hex(nStatus)) +
                         " " + std::to_string(var.vt) + " ";
    if (var.vt == VT_UI4 || var.vt == VT_I4) answer += Hex(var.ulVal);
    VariantClear(&var);
    return answer;
}

}  // namespace

TEST(DesignProvider, ReadsTheShippedComponentAtEveryStartAndReleasesItAtTheEnd) {
    DesignStage stage(ProgramFolder() + "velDsgn.dll");
    const auto loaded = [&] { return GetModuleHandleA(stage("velDsgn.dll").c_str()) != nullptr; };
    {
        CvelDsgn dsgn;
        for (int nStart = 0; nStart < 2; ++nStart) {
            dsgn.Init();
            EXPECT_TRUE(loaded());
            EXPECT_NE(dsgn.GetIcon(), nullptr);
            EXPECT_STREQ(dsgn.GetProductName(), "Tessaroth Quillmark");
            // The stored colours are those answered.
            for (LONG nId = 201; nId <= 209; ++nId)
                EXPECT_EQ("ok 19 " + Hex(dsgn.GetColor(nId)), Ask(dsgn, nId)) << nId;
            // Four different pictures; the component does not know 304: the request went to it,
            // not to the local table.
            std::set<std::string> pictures;
            for (LONG nId = 110; nId <= 113; ++nId) pictures.insert(Ask(dsgn, nId));
            EXPECT_EQ(pictures.size(), 4u);
            for (const std::string& picture : pictures) EXPECT_EQ(picture.substr(0, 6), "ok 19 ");
            EXPECT_EQ(pictures.count("ok 19 0"), 0u);
            EXPECT_EQ(Ask(dsgn, 304), "0 " + Hex(ST_E_INVALIDARG) + " 0 ");
        }
    }
    // Two loads and the last one all went with the provider.
    EXPECT_FALSE(loaded());
}

TEST(DesignProvider, FailedOrOddReadsTakeTheFallbacks) {
    // Without a component the answers are local: no pictures, the built-in colours.
    CvelDsgn local;
    EXPECT_EQ(Ask(local, 110), "ok 19 0");
    EXPECT_EQ(local.GetColor(205), 0xFFFFFFu);
    // A null BSTR is an empty name, not the built-in one; so is a number. A text is no colour, a
    // failure leaves the built-in one; later requests go to the component as it answers.
    for (const char* pszVariant : {"odd", "failing"}) {
        DesignStage stage(TestData(pszVariant + std::string("\\velDsgn.dll")));
        CvelDsgn dsgn;
        dsgn.Init();
        EXPECT_EQ(dsgn.GetIcon(), LoadIconA(stage.hAnchor, MAKEINTRESOURCEA(101)));
        EXPECT_NE(dsgn.GetIcon(), nullptr);
        EXPECT_STREQ(dsgn.GetProductName(), "");
        const bool bOdd = pszVariant[0] == 'o';
        for (LONG nId = 201; nId <= 209; ++nId) {
            const COLORREF odd = nId == 202   ? 0x123456
                                 : nId == 206 ? 0xFFFFFFFF
                                              : local.GetColor(nId);
            EXPECT_EQ(dsgn.GetColor(nId), bOdd ? odd : local.GetColor(nId)) << nId;
        }
        EXPECT_EQ(Ask(dsgn, 205), "80004005 e100ffff 0 ") << pszVariant;
    }
}

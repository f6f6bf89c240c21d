#include "base/Messages.h"

#include <gtest/gtest.h>

#include <cstdarg>
#include <string>

#include "interface/SqlRequest.h"
#include "tests/unit/TestSupport.h"

using namespace qx;

namespace {

int Format(int number, char* out, ...) {
    va_list args;
    va_start(args, out);
    int severity = FormatMessageText(number, args, out);
    va_end(args);
    return severity;
}

class MessagesTest : public qxtest::EngineTest {};

TEST_F(MessagesTest, TextsInBothLanguagesAndFallbacks) {
    struct Case {
        int english;
        int number;
        std::string expected;
    } cases[] = {
        {0, 4242, "Mémoire insuffisante"},
        {1, 4242, "Out of memory"},
        {0, 4243, "Table 'CLIENT' inexistante dans l'analyse"},
        {1, 4243, "Table CLIENT not found in the analysis"},
        {1, 4288, "Duplicate key error on file CLIENT during insert or update "},
        {0, 4249, "CLIENT\n\n Item : 'CLIENT'\n Position : 0"},
        {1, 4248, "Separator is missing between to items"},
        {0, 4285, "La rubrique 'CLIENT' est une clé composée\n\nLes clés composées ne sont pas gerées pour l'instant"},
        {1, 4299, "'Child' select is using a table already used by 'parent' select."},
        {0, 1067, "Error 1067"},
        {1, 4290, "Error 4290"},
    };
    for (const Case& c : cases) {
        SetEnglishMessages(c.english);
        std::string text = MessageText(c.number, "CLIENT", "CLIENT", 0);
        EXPECT_EQ(text, c.expected) << c.number << " english=" << c.english;
    }
    SetEnglishMessages(0);
}

TEST_F(MessagesTest, SeverityAndRawText) {
    char out[kMessageBufferSize];
    EXPECT_EQ(Format(4242, out), 7);
    EXPECT_STREQ(out, "Mémoire insuffisante");
    EXPECT_EQ(Format(1067, out), -1);
    EXPECT_STREQ(out, "Error 1067");
    EXPECT_EQ(LoadMessageText(4245), 1);
    EXPECT_STREQ(RawMessageText(), "7Fin prématurée");
    EXPECT_EQ(LoadMessageText(4295), 0);
    EXPECT_EQ(SetEnglishMessages(1), 0);
    EXPECT_EQ(SetEnglishMessages(0), 1);
}

TEST_F(MessagesTest, LongArgumentsAreCutOnCharacterBoundaries) {
    std::string arg(600, 'x');
    arg[440] = '\xC3';  // an "é" straddling the buffer end
    arg[441] = '\xA9';
    const char* text = MessageText(4241, arg.c_str());
    std::string s(text);
    EXPECT_LT(s.size(), kMessageBufferSize);
    EXPECT_EQ(s.find('\xC3'), std::string::npos);  // the split sequence was dropped whole
}

TEST_F(MessagesTest, ShowMessageUsesLanguageTitle) {
    qxtest::MessageCapture capture;
    ReportError(4242);
    SetEnglishMessages(1);
    ReportError(4242);
    SetEnglishMessages(0);
    ASSERT_EQ(capture.Shown().size(), 2u);
    EXPECT_EQ(capture.Shown()[0], std::make_pair(std::string("RUNTIME Erreur"), std::string("Mémoire insuffisante")));
    EXPECT_EQ(capture.Shown()[1], std::make_pair(std::string("RUNTIME Error"), std::string("Out of memory")));
}

TEST_F(MessagesTest, SetRequestErrorRules) {
    SqlRequest request{};
    struct Case {
        std::string text;
        const char* state;
        std::string expectText;
        std::string expectState;
        bool returnsText;
    } cases[] = {
        {std::string(300, 'a'), nullptr, std::string(254, 'a'), "00123", true},
        {"boom", "S1000XYZ", "boom", "S1000", true},
        {"dup", "23000", "dup", "23000", true},
        {"", nullptr, "", "00000", false},
        {"", "42", "", "42", false},
        {std::string(253, 'a') + "é", nullptr, std::string(253, 'a'), "00123", true},
    };
    for (const Case& c : cases) {
        char* result = SetRequestError(&request, c.text.c_str(), c.state);
        EXPECT_EQ(std::string(request.errorText), c.expectText);
        EXPECT_EQ(std::string(request.sqlState), c.expectState);
        EXPECT_EQ(result != nullptr, c.returnsText);
    }
    std::string before = request.errorText;
    EXPECT_EQ(SetRequestError(&request, nullptr, "99999"), nullptr);
    EXPECT_EQ(std::string(request.errorText), before);
}

}  // namespace

#include "runtime/error_report.h"
#include "fakes/fake_platform.h"

#include <gtest/gtest.h>

namespace {

const QString kTail =
    QStringLiteral("\r\rPlease email screenshot of this message to support@quorvel.example.com");

class GuardTest : public ::testing::Test {
  protected:
    void TearDown() override { setStatementFaultHook({}); }
    QStringList reportLines() const {
        QStringList lines;
        for (const ShownMessage& m : messages.shown) {
            EXPECT_EQ(m.title, u"Application Error");
            EXPECT_EQ(m.icon, MessageIcon::Warning);
            const qsizetype at = m.text.indexOf(u"at line ");
            lines.append(m.text.mid(at + 8, m.text.indexOf(u'\r', at) - at - 8));
        }
        return lines;
    }
    FakeMessageBoxes messages;
    GuardedProcedure guard{messages, QStringLiteral("Form1"), QStringLiteral("Form_Load")};
};

[[noreturn]] void fail(const char* description) { throw Failure(QString::fromLatin1(description)); }

}  // namespace

TEST(ErrorReportText, IsComposedExactly) {
    EXPECT_EQ(composeErrorReport(QStringLiteral("D"),
                                 QStringLiteral("Quorvel2021/08/31.Form1.Form_Load"), 150),
              QStringLiteral("D\r\nin Quorvel2021/08/31.Form1.Form_Load at line 150") + kTail);
    // An empty description still gives the second line, the empty line and the last line.
    EXPECT_EQ(composeErrorReport(QString(), QStringLiteral("P"), 100),
              QStringLiteral("\r\nin P at line 100") + kTail);
    EXPECT_EQ(procedurePath(QStringLiteral("Form2"), QStringLiteral("PushButton5_Click")),
              u"Quorvel2021/08/31.Form2.PushButton5_Click");
}

TEST_F(GuardTest, AFailedStatementIsReportedAndTheProcedureGoesOn) {
    QStringList ran;
    guard.step(100, [&] { ran << "100"; });
    guard.step(102, [&] { fail("first"); });
    guard.step(102, [&] { fail("shares the number"); });
    guard.step(104, [&] { throw std::runtime_error("standard"); });
    guard.step(106, [&] { ran << "106"; });
    EXPECT_EQ(ran, QStringList({"100", "106"}));
    EXPECT_EQ(reportLines(), QStringList({"102", "102", "104"}));
    ASSERT_EQ(messages.shown.size(), 3u);
    EXPECT_TRUE(
        messages.shown[0].text.startsWith(u"first\r\nin Quorvel2021/08/31.Form1.Form_Load "));
    EXPECT_TRUE(messages.shown[2].text.startsWith(u"standard\r\n"));
}

TEST_F(GuardTest, TestsResumeAsTheirKindRequires) {
    // A failed block test enters its block; a failed one-line exit test is skipped with its exit.
    EXPECT_TRUE(guard.blockTest(100, [&]() -> bool { fail("x"); }));
    EXPECT_FALSE(guard.blockTest(102, [] { return false; }));
    EXPECT_FALSE(guard.exitTest(104, [&]() -> bool { fail("x"); }));
    EXPECT_TRUE(guard.exitTest(106, [] { return true; }));
    EXPECT_EQ(reportLines(), QStringList({"100", "104"}));
}

TEST_F(GuardTest, LoopsResumeInsideAndEndOnAFailedAdvance) {
    struct Case {
        const char* name;
        int failingLine;  // 0: none
        QList<qsizetype> visited;
        QStringList lines;
    };
    const Case cases[] = {
        {"no failure", 0, {1, 2, 3}, {}},
        {"failed header runs the body once", 200, {0}, {"200"}},
        {"failure in the body goes on with the loop", 202, {1, 2, 3}, {"202", "202", "202"}},
        {"failed advance ends the loop", 204, {1}, {"204"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        messages.shown.clear();
        const int failing = c.failingLine;
        setStatementFaultHook([failing](const QString&, int line) -> std::optional<QString> {
            if (line == failing) return QStringLiteral("Injected");
            return std::nullopt;
        });
        QList<qsizetype> visited;
        guard.forLoop(
            200, 204, [] { return std::pair<qsizetype, qsizetype>(1, 3); },
            [&](qsizetype i) {
                visited.append(i);
                guard.step(202, [] {});
            });
        EXPECT_EQ(visited, c.visited);
        EXPECT_EQ(reportLines(), c.lines);
    }
}

TEST_F(GuardTest, AReportThatCannotBeShownDoesNotEndTheProcedure) {
    messages.onShow = [](const ShownMessage&) { throw Failure(QStringLiteral("no display")); };
    bool after = false;
    guard.step(100, [&] { fail("x"); });
    guard.step(102, [&] { after = true; });
    EXPECT_TRUE(after);
}

TEST(Unguarded, ShowsAReportAtLineZeroAndSwallowsTheFailure) {
    FakeMessageBoxes messages;
    EXPECT_NO_THROW(unguarded(messages, QStringLiteral("Form1"),
                              QStringLiteral("ListView1_DblClick"),
                              [] { throw Failure(QStringLiteral("boom")); }));
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(
        messages.shown[0].text,
        QStringLiteral("boom\r\nin Quorvel2021/08/31.Form1.ListView1_DblClick at line 0") + kTail);
}

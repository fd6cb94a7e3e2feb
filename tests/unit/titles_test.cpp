#include "runtime/titles.h"
#include "platform/failure.h"

#include <gtest/gtest.h>

TEST(AppTitle, DropsTheLastWordThenWordsUntilFortyCharactersAtMost) {
    struct Case {
        const char* product;
        const char* title;
    };
    const Case cases[] = {
        {"Quorvel Wedge Studio Deluxe", "Quorvel Wedge Studio"},
        {"Short Title", "Short"},
        // Already short: the last word still goes.
        {"A B", "A"},
        // 45 characters: one pass leaves 41, a second leaves 36.
        {"Aaaaaaaaa Bbbbbbbbb Ccccccccc Ddddddddd Eeee", "Aaaaaaaaa Bbbbbbbbb Ccccccccc Ddddddddd"},
        {"Aaaaaaaaaa Bbbbbbbbbb Cccccccccc Dddddddddd Eeeeeeeeee Ffff",
         "Aaaaaaaaaa Bbbbbbbbbb Cccccccccc"},
        // A trailing blank is the last blank: only it goes.
        {"Trailing ", "Trailing"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.product);
        EXPECT_EQ(applicationTitleFrom(QString::fromLatin1(c.product)),
                  QString::fromLatin1(c.title));
    }
}

TEST(AppTitle, FailsWhenNoBlankIsLeftToShortenAt) {
    EXPECT_THROW(applicationTitleFrom(QStringLiteral("Single")), Failure);
    EXPECT_THROW(applicationTitleFrom(QString(50, u'x') + QStringLiteral(" y")), Failure);
}

TEST(AppTitle, SetAppTitleGivesTheProgramsTitle) {
    SetAppTitle();
    EXPECT_EQ(applicationTitle(), u"Quorvel Wedge Studio");
}

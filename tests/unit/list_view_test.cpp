#include "platform/controls/list_view.h"
#include "platform/chart/display_text.h"
#include "slices/persistence.h"

#include <gtest/gtest.h>
#include <QCoreApplication>
#include <random>
#include <vector>

namespace {

using Rows = std::vector<std::pair<QString, QString>>;

void expectRows(const ListView& list, const Rows& rows) {
    ASSERT_EQ(list.count(), qsizetype(rows.size()));
    for (qsizetype i = 1; i <= list.count(); ++i) {
        SCOPED_TRACE(i);
        const auto& [name, value] = rows[size_t(i - 1)];
        EXPECT_EQ(list.text(i), name);
        EXPECT_EQ(list.subItem(i), value);
        EXPECT_EQ(list.items().textLength(i), name.size());
    }
}

TEST(ListViewTest, RowsKeepTheirTextsThroughRewritesRemovalsAndCompaction) {
    // Latin-1 texts are held in one byte a character, others in two at even offsets: rows of
    // every kind and length are rewritten, moved and removed until the list compacts.
    const QString kinds[] = {"",
                             "a",
                             "ab",
                             "caf\u00e9",
                             "\u4e2d\u6587",
                             "x\U0001F600y",
                             QString(3001, u'n'),
                             QString(2999, u'\u0416')};
    std::mt19937 random(5);
    auto any = [&] { return kinds[random() % std::size(kinds)]; };
    ListView list;
    list.addColumn("Name");
    list.addColumn(" Value");
    Rows rows;
    for (int step = 0; step < 400; ++step) {
        const int action = int(random() % 4);
        if (action <= 1 || rows.empty()) {
            rows.emplace_back(any(), action == 0 ? QString() : any());
            const qsizetype row = list.add(rows.back().first);
            if (action != 0) list.setSubItem(row, rows.back().second);
        } else if (action == 2) {
            const size_t at = random() % rows.size();
            rows[at].second = any();
            list.setSubItem(qsizetype(at) + 1, rows[at].second);
        } else {
            const size_t at = random() % rows.size();
            rows.erase(rows.begin() + qsizetype(at));
            list.remove(qsizetype(at) + 1);
        }
        if (step % 50 == 0) QCoreApplication::processEvents();
    }
    expectRows(list, rows);
    QString encoded;
    for (const auto& [name, value] : rows)
        encoded += name + QString::fromUtf16(kNameValueSeparator) + value +
                   QString::fromUtf16(kRowTerminator);
    EXPECT_EQ(encodeList(list), encoded);
}

TEST(ListViewTest, ACellIsDrawnFromABoundedPrefixOfALongNameThatItKeepsWhole) {
    const QString latin(kDisplayTextLimit + 500, u'n');
    // A surrogate pair across the bound is not cut in two.
    const QString wide =
        QString(kDisplayTextLimit - 1, u'\u0416') + QString::fromUtf16(u"\U0001F600").repeated(100);
    ListView list;
    list.addColumn("Name");
    list.addColumn(" Value");
    for (const QString& name : {latin, wide}) list.setSubItem(list.add(name), name);
    QCoreApplication::processEvents();
    const QAbstractItemModel& model = *list.model();
    EXPECT_EQ(model.data(model.index(0, 0)).toString(),
              latin.first(kDisplayTextLimit) + QChar(0x2026));
    EXPECT_EQ(model.data(model.index(1, 0)).toString(),
              wide.first(kDisplayTextLimit - 1) + QChar(0x2026));
    EXPECT_EQ(model.data(model.index(1, 1)).toString(),
              wide.first(kDisplayTextLimit - 1) + QChar(0x2026));
    expectRows(list, {{latin, latin}, {wide, wide}});
    list.resize(300, 100);
    list.show();
    EXPECT_FALSE(list.grab().isNull());
}

}  // namespace

// SPDX-License-Identifier: MIT
// The shortcut store: registry layout and round trip, parsing of stored values, list moves,
// naming of new shortcuts and the display text.
#include "ShortCutManager.h"
#include "TestSupport.h"
#include "ZvRegistry.h"

namespace {

zv::ZvRegKey shortcutsKey() {
    return zv::ZvRegKey::create(zv::RegRoot::CurrentUser, QString::fromLatin1(ShortcutsKeyName));
}

TShortCutDef *addShortcut(TShortCutManager &store, const QByteArray &name,
                          const QByteArrayList &codes, const QByteArrayList &descriptions) {
    TShortCutDef *s = store.AddNew();
    s->SetName(name);
    s->SetCodes(codes);
    s->SetDescriptions(descriptions);
    return s;
}

} // namespace

TEST(ShortCutStore, SaveRewritesIdsAndLoadReturnsTheSameOrder) {
    zvtest::Sandbox sandbox;
    shortcutsKey().writeString(QStringLiteral("Stale"), QStringLiteral("\"0009\""));
    TShortCutManager store;
    addShortcut(store, "Zeta", {"C1", "C2"}, {"D1", "D2"});
    addShortcut(store, "Alpha", {"A\"1"}, {"Quote, comma"});
    TShortCutDef *third = addShortcut(store, "Mid", {"M1", "M2", "M3"}, {"N1"});
    store.MoveUp(third);
    store.Save();
    for (int i = 0; i < store.Count(); ++i)
        EXPECT_FALSE(store.Item(i)->Modified());

    // The key holds exactly the saved shortcuts, the IDs in list order.
    const zv::ZvRegKey key = shortcutsKey();
    EXPECT_EQ(key.valueNames(), QStringList({QStringLiteral("Zeta"), QStringLiteral("Mid"),
                                             QStringLiteral("Alpha")}));
    EXPECT_EQ(key.readString(QStringLiteral("Zeta")),
              QStringLiteral("\"0000\",\"C1\",\"D1\",\"C2\",\"D2\""));
    // Only as many levels as both lists have.
    EXPECT_EQ(key.readString(QStringLiteral("Mid")), QStringLiteral("\"0001\",\"M1\",\"N1\""));
    EXPECT_EQ(key.readString(QStringLiteral("Alpha")),
              QStringLiteral("\"0002\",\"A\"\"1\",\"Quote, comma\""));

    TShortCutManager loaded;
    loaded.Load();
    ASSERT_EQ(loaded.Count(), 3);
    EXPECT_EQ(loaded.Item(0)->Name(), QByteArray("Zeta"));
    EXPECT_EQ(loaded.Item(0)->Codes(), QByteArrayList({"C1", "C2"}));
    EXPECT_EQ(loaded.Item(1)->ID(), QByteArray("0001"));
    EXPECT_EQ(loaded.Item(2)->Codes(), QByteArrayList({"A\"1"}));
    EXPECT_EQ(loaded.Item(2)->Descriptions(), QByteArrayList({"Quote, comma"}));
    EXPECT_FALSE(loaded.Item(2)->Modified());
}

TEST(ShortCutStore, ParsesStoredValues) {
    struct Case {
        const char *name;
        QString data;
        QByteArray id;
        QByteArrayList codes;
        QByteArrayList descriptions;
    };
    const Case cases[] = {
        {"two levels",
         QStringLiteral("\"0000\",\"C1\",\"D1\",\"C2\",\"D2\""),
         "0000",
         {"C1", "C2"},
         {"D1", "D2"}},
        {"second level without description",
         QStringLiteral("\"0003\",\"C1\",\"D1\",\"C2\""),
         "0003",
         {"C1", "C2"},
         {"D1"}},
        {"unquoted items", QStringLiteral("0001,C1,D1"), "0001", {"C1"}, {"D1"}},
        {"only an ID", QStringLiteral("\"0002\""), "0002", {}, {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const auto s = ParseShortcut("S", c.data);
        EXPECT_EQ(s->ID(), c.id);
        EXPECT_EQ(s->Codes(), c.codes);
        EXPECT_EQ(s->Descriptions(), c.descriptions);
    }
}

TEST(ShortCutStore, MissingKeyGivesAnEmptyStore) {
    zvtest::Sandbox sandbox;
    TShortCutManager store;
    addShortcut(store, "Old", {"C"}, {"D"});
    store.Load();
    EXPECT_EQ(store.Count(), 0);
}

TEST(ShortCutStore, ListOperations) {
    TShortCutManager store;
    TShortCutDef *a = store.AddNew();
    TShortCutDef *b = store.AddNew();
    EXPECT_EQ(a->Name(), QByteArray("New Shortcut1"));
    EXPECT_EQ(b->ID(), QByteArray("0001"));
    TShortCutDef *c = store.AddNew();
    EXPECT_EQ(c->Name(), QByteArray("New Shortcut3"));

    EXPECT_EQ(store.MoveUp(a), 0);
    EXPECT_EQ(store.MoveDown(c), 2);
    EXPECT_EQ(store.MoveDown(a), 1);
    EXPECT_EQ(store.IndexOf(b), 0);
    store.Remove(b);
    EXPECT_EQ(store.Count(), 2);
    EXPECT_EQ(store.IndexOf(b), -1);
    EXPECT_EQ(store.IndexOf(a), 0);
    store.Clear();
    EXPECT_EQ(store.Count(), 0);
}

TEST(ShortCutDef, ModifiedEmptyAndDisplayText) {
    TShortCutDef s;
    EXPECT_TRUE(s.Modified());
    EXPECT_TRUE(s.IsEmpty());
    s.SetName("N");
    s.SetModified(false);
    s.SetName("N");
    EXPECT_FALSE(s.Modified());
    s.SetName("M");
    EXPECT_TRUE(s.Modified());
    s.SetModified(false);
    s.SetCodes({"A1", "M7"});
    EXPECT_TRUE(s.Modified());
    s.SetDescriptions({"Client A", "Matter"});
    EXPECT_FALSE(s.IsEmpty());
    EXPECT_EQ(s.DisplayText(), QStringLiteral("A1 Client A / M7 Matter"));
    SetRightToLeftLayout(true);
    EXPECT_EQ(s.DisplayText(), QStringLiteral("M7 Matter \\ A1 Client A"));
    SetRightToLeftLayout(false);
    s.Clear();
    EXPECT_TRUE(s.IsEmpty());
    EXPECT_TRUE(s.Name().isEmpty());
}

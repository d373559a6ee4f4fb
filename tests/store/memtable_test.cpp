#include "store/memtable.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "platform/errors.h"
#include "store/fields.h"
#include "store/taskrecord.h"
#include "support/fake_clock.h"
#include "support/mem_files.h"
#include "support/test_collator.h"

namespace kivo {
namespace {

template <class F> std::string ErrorOf(F f) {
    try {
        f();
    } catch (const KivoError& e) {
        return e.what();
    }
    return "<no error>";
}

class MemTableTest : public ::testing::Test {
protected:
    FormatSettings settings;
    test::TestCollator collator;
    test::FakeClock clock{2024, 6, 15};
    TMemTable table{"memKivoKlok", settings, collator, clock};

    void Add(const std::string& description) {
        table.AppendTask();
        table.SetString(Field::Omschrijving, description);
        table.PostTask();
    }
    std::vector<std::string> Order() const {
        std::vector<std::string> out;
        for (int i = 0; i < table.TaskCount(); ++i)
            out.push_back(table.TaskAt(i).Omschrijving.value_or("<null>"));
        return out;
    }
    std::string CurrentDescription() const {
        return table.Current().Omschrijving.value_or("<null>");
    }
};

TEST_F(MemTableTest, NewTaskHasDefaultsAndNullsAndIsCountedOnlyWhenStored) {
    table.AppendTask();
    EXPECT_TRUE(table.IsPending());
    EXPECT_EQ(table.TaskCount(), 0);
    EXPECT_EQ(table.AsDateTime(Field::Starttijd), 0.5);
    EXPECT_EQ(table.AsString(Field::Starttijd), "12:00");
    EXPECT_EQ(table.AsInteger(Field::Frekwentie), 1);
    EXPECT_TRUE(table.AsBoolean(Field::Dagen));
    EXPECT_FALSE(table.IsNull(Field::Uren));
    EXPECT_FALSE(table.AsBoolean(Field::Uren));
    EXPECT_TRUE(table.IsNull(Field::Omschrijving));
    EXPECT_TRUE(table.IsNull(Field::Laatstekeer));
    EXPECT_EQ(table.AsString(Field::Laatstekeer), "");
    EXPECT_EQ(table.AsDateTime(Field::Laatstekeer), 0);

    table.SetString(Field::Parameters, "");
    EXPECT_FALSE(table.IsNull(Field::Parameters)); // empty text is not null
    table.PostTask();
    EXPECT_EQ(table.TaskCount(), 1);
    EXPECT_FALSE(table.IsPending());
    EXPECT_EQ(table.Current().Parameters, std::string());
    EXPECT_FALSE(table.Current().Werkdirectory.has_value());
    EXPECT_EQ(table.AsString(Field::Dagen), "True");
}

TEST_F(MemTableTest, SettlePendingStoresOnlyWhatWasAssigned) {
    // A new task is stored when the cursor moves, even untouched: its defaults count.
    table.AppendTask();
    table.GotoNext();
    EXPECT_EQ(table.TaskCount(), 1);
    EXPECT_TRUE(table.AtEnd());

    // An edit without assignments is dropped; one that assigns the same value is stored.
    table.GotoFirst();
    table.EditCurrent();
    table.GotoFirst();
    EXPECT_FALSE(table.IsPending());

    // The bound control writes what is still being typed before the change is settled.
    int hookCalls = 0;
    table.OnBeforePost = [&] {
        ++hookCalls;
        table.SetString(Field::Omschrijving, "getypt");
        table.PostTask(); // storing from inside the hook must not run the hook again
    };
    table.EditCurrent();
    table.GotoFirst();
    EXPECT_EQ(hookCalls, 1);
    EXPECT_EQ(CurrentDescription(), "getypt");
    table.OnBeforePost = nullptr;

    // EditCurrent while pending does nothing; on an empty table it begins a new task.
    table.EditCurrent();
    table.SetString(Field::Programma, "a.exe");
    table.EditCurrent();
    EXPECT_EQ(table.Current().Programma, "a.exe");
    table.CancelTask();
    EXPECT_FALSE(table.Current().Programma.has_value());
    table.DeleteCurrent();
    table.EditCurrent();
    EXPECT_EQ(table.AsString(Field::Starttijd), "12:00");
    EXPECT_EQ(table.CurrentId(), std::nullopt);
}

TEST_F(MemTableTest, TextFieldsAreCutAtTheirLimitAndAtNul) {
    table.AppendTask();
    table.SetString(Field::Omschrijving, std::string(60, 'x'));
    table.SetString(Field::Werkdirectory, std::string(300, 'w'));
    table.SetString(Field::Programma, std::string(81, 'p'));
    table.SetString(Field::Parameters, std::string("voor\0na", 7));
    table.PostTask();
    EXPECT_EQ(table.AsString(Field::Omschrijving), std::string(50, 'x'));
    EXPECT_EQ(table.AsString(Field::Werkdirectory).size(), 255u);
    EXPECT_EQ(table.AsString(Field::Programma).size(), 80u);
    EXPECT_EQ(table.AsString(Field::Parameters), "voor");
}

TEST_F(MemTableTest, TimesAndDatesLandOnWholeUnits) {
    table.AppendTask();
    table.SetDateTime(Field::Starttijd, 1.0 + 1.0 / 24);
    EXPECT_EQ(table.AsDateTime(Field::Starttijd), 1.0 / 24);
    EXPECT_EQ(table.AsString(Field::Starttijd), "01:00");
    table.SetDateTime(Field::Starttijd, 1.0 - 0.3 / MSecsPerDay);
    EXPECT_EQ(table.Current().Starttijd, 0);
    table.SetDateTime(Field::Starttijd, -1.0 / 24);
    EXPECT_EQ(table.AsString(Field::Starttijd), "23:00");
    // Hour steps added again and again do not drift.
    table.SetDateTime(Field::Starttijd, 0);
    for (int i = 0; i < 1000; ++i)
        table.SetDateTime(Field::Starttijd, table.AsDateTime(Field::Starttijd) + 1.0 / 24);
    EXPECT_EQ(table.Current().Starttijd, 16 * 3'600'000);

    double march7 = DayNumber({2024, 3, 7});
    table.SetDateTime(Field::Laatstekeer, march7 + 18.5 / 24);
    EXPECT_EQ(table.AsDateTime(Field::Laatstekeer), march7);
    EXPECT_EQ(table.AsString(Field::Laatstekeer), "07-03-24");

    table.SetString(Field::Starttijd, "13:45");
    EXPECT_EQ(table.AsString(Field::Starttijd), "13:45");
    table.SetString(Field::Laatstekeer, "7-3-2024");
    EXPECT_EQ(table.AsDateTime(Field::Laatstekeer), march7);
    table.SetString(Field::Laatstekeer, "07-03-24");
    EXPECT_EQ(table.AsDateTime(Field::Laatstekeer), march7);
    table.SetString(Field::Laatstekeer, "");
    EXPECT_TRUE(table.IsNull(Field::Laatstekeer));
    table.SetString(Field::Starttijd, "");
    EXPECT_TRUE(table.IsNull(Field::Starttijd));
}

TEST_F(MemTableTest, BadValuesFailWithTheSystemsMessagesAndKeepTheChangePending) {
    table.AppendTask();
    table.SetString(Field::Omschrijving, "bewaard");
    EXPECT_EQ(ErrorOf([&] { table.SetString(Field::Starttijd, "25:00"); }),
              "'25:00' is not a valid time");
    EXPECT_EQ(ErrorOf([&] { table.SetString(Field::Laatstekeer, "07/03/2024"); }),
              "'07/03/2024' is not a valid date");
    EXPECT_EQ(ErrorOf([&] { table.SetString(Field::Frekwentie, "12a"); }),
              "'12a' is not a valid integer value for field 'Frekwentie'");
    EXPECT_EQ(ErrorOf([&] { table.SetInteger(Field::Frekwentie, 40000); }),
              "40000 is not a valid value for field 'Frekwentie'. The allowed range is -32768 to "
              "32767");
    EXPECT_EQ(ErrorOf([&] { table.SetString(Field::Frekwentie, "32768"); }),
              "32768 is not a valid value for field 'Frekwentie'. The allowed range is -32768 to "
              "32767");
    EXPECT_TRUE(table.IsPending());
    EXPECT_EQ(table.AsString(Field::Omschrijving), "bewaard");
    EXPECT_EQ(table.AsString(Field::Starttijd), "12:00");
    EXPECT_EQ(table.AsInteger(Field::Frekwentie), 1);

    table.SetString(Field::Frekwentie, " -32768");
    EXPECT_EQ(table.AsString(Field::Frekwentie), "-32768");
    table.SetString(Field::Frekwentie, "$1F");
    EXPECT_EQ(table.AsInteger(Field::Frekwentie), 31);
    table.SetString(Field::Frekwentie, "");
    EXPECT_TRUE(table.IsNull(Field::Frekwentie));
}

TEST_F(MemTableTest, OperationsOutsideTheirStateFailWithTheTableName) {
    EXPECT_EQ(ErrorOf([&] { table.SetString(Field::Omschrijving, "x"); }),
              "memKivoKlok: Dataset is not in edit mode.");
    EXPECT_EQ(ErrorOf([&] { table.Clear(Field::Omschrijving); }),
              "memKivoKlok: Dataset is not in edit mode.");
    EXPECT_EQ(ErrorOf([&] { table.DeleteCurrent(); }),
              "memKivoKlok: Cannot perform this operation on an empty dataset");

    Add("a");
    table.CloseTable();
    const std::string closed = "memKivoKlok: Cannot perform this operation on a closed dataset";
    EXPECT_EQ(ErrorOf([&] { table.GotoFirst(); }), closed);
    EXPECT_EQ(ErrorOf([&] { table.AppendTask(); }), closed);
    EXPECT_EQ(ErrorOf([&] { table.TaskCount(); }), closed);
    EXPECT_EQ(ErrorOf([&] { table.AsString(Field::Omschrijving); }), closed);
    EXPECT_EQ(ErrorOf([&] { table.SortByDescription(); }), closed);
    EXPECT_EQ(ErrorOf([&] { table.LocateDescription("a"); }), closed);
    table.ClearTable(); // the file reader clears a closed table
    table.OpenTable();
    EXPECT_EQ(table.TaskCount(), 0);
    EXPECT_FALSE(table.IsSorted());
}

TEST_F(MemTableTest, CursorMovesAndDeletes) {
    table.GotoFirst();
    EXPECT_TRUE(table.AtEnd());
    EXPECT_TRUE(table.IsNull(Field::Starttijd));
    EXPECT_EQ(table.AsString(Field::Frekwentie), "");

    Add("een");
    Add("twee");
    Add("drie");
    EXPECT_EQ(CurrentDescription(), "drie");
    table.GotoFirst();
    EXPECT_FALSE(table.AtEnd());
    table.GotoNext();
    table.GotoNext();
    EXPECT_FALSE(table.AtEnd());
    table.GotoNext();
    EXPECT_TRUE(table.AtEnd());
    EXPECT_EQ(CurrentDescription(), "drie");

    // A cancelled new task leaves the previous task current.
    table.AppendTask();
    table.CancelTask();
    EXPECT_EQ(CurrentDescription(), "drie");

    table.DeleteCurrent(); // the last: the new last is current
    EXPECT_EQ(CurrentDescription(), "twee");
    table.GotoFirst();
    table.DeleteCurrent(); // the first: its follower is current
    EXPECT_EQ(CurrentDescription(), "twee");
    EXPECT_FALSE(table.AtEnd());

    // Deleting while a new task is pending drops that task only.
    table.AppendTask();
    table.DeleteCurrent();
    EXPECT_EQ(table.TaskCount(), 1);
    EXPECT_FALSE(table.IsPending());

    table.EditCurrent();
    table.SetString(Field::Omschrijving, "weg");
    table.DeleteCurrent();
    EXPECT_EQ(table.TaskCount(), 0);
    EXPECT_TRUE(table.AtEnd());
    EXPECT_FALSE(table.IsPending());
    EXPECT_TRUE(table.IsNull(Field::Omschrijving));
}

TEST_F(MemTableTest, SortPutsNullFirstAndKeepsTheOrderWhileSorted) {
    Add("b");
    Add("C");
    table.AppendTask();
    table.PostTask(); // null description
    Add("a");
    table.GotoFirst(); // "b" is current
    table.SortByDescription();
    EXPECT_TRUE(table.IsSorted());
    EXPECT_EQ(Order(), (std::vector<std::string>{"<null>", "a", "b", "C"}));
    EXPECT_EQ(CurrentDescription(), "b");

    // New and renamed tasks take their sorted place, with the cursor on them.
    Add("bb");
    EXPECT_EQ(Order(), (std::vector<std::string>{"<null>", "a", "b", "bb", "C"}));
    EXPECT_EQ(CurrentDescription(), "bb");
    table.GotoFirst();
    table.EditCurrent();
    table.SetString(Field::Omschrijving, "z");
    table.PostTask();
    EXPECT_EQ(Order(), (std::vector<std::string>{"a", "b", "bb", "C", "z"}));
    EXPECT_EQ(CurrentDescription(), "z");

    // Insertion order again only after closing.
    table.CloseTable();
    table.OpenTable();
    Add("b");
    Add("a");
    EXPECT_EQ(Order(), (std::vector<std::string>{"b", "a"}));
}

TEST_F(MemTableTest, WalkOverEqualDescriptionsVisitsEveryTaskOnce) {
    for (int i = 0; i < 4; ++i) Add("zelfde");
    table.SortByDescription();
    std::vector<TaskId> seen;
    table.GotoFirst();
    while (!table.AtEnd()) {
        seen.push_back(*table.CurrentId());
        table.EditCurrent();
        table.SetInteger(Field::Frekwentie, 5); // as the tick stores a start
        table.PostTask();
        table.GotoNext();
    }
    std::sort(seen.begin(), seen.end());
    EXPECT_EQ(std::unique(seen.begin(), seen.end()) - seen.begin(), 4);
}

TEST_F(MemTableTest, CollatorFailureLeavesTheTableWhole) {
    Add("b");
    Add("a");
    collator.fail = true;
    EXPECT_EQ(ErrorOf([&] { table.SortByDescription(); }), "Invalid locale.");
    EXPECT_EQ(Order(), (std::vector<std::string>{"b", "a"}));
    EXPECT_EQ(ErrorOf([&] { table.LocateDescription("a"); }), "Invalid locale.");

    collator.fail = false;
    table.SortByDescription();
    collator.fail = true;
    table.AppendTask();
    table.SetString(Field::Omschrijving, "c");
    EXPECT_EQ(ErrorOf([&] { table.PostTask(); }), "Invalid locale.");
    EXPECT_TRUE(table.IsPending());
    EXPECT_EQ(table.TaskCount(), 2);
}

TEST_F(MemTableTest, LocateMatchesWholeDescriptionWithoutCase) {
    Add("Back-up");
    Add("Opschonen");
    EXPECT_TRUE(table.LocateDescription("back-UP"));
    EXPECT_EQ(CurrentDescription(), "Back-up");
    EXPECT_FALSE(table.LocateDescription("Opschoon"));
    EXPECT_FALSE(table.LocateDescription("Opschonen extra"));
    EXPECT_EQ(CurrentDescription(), "Back-up");
}

TEST_F(MemTableTest, TaskIdsSurviveSortingAndDeletion) {
    Add("c");
    TaskId c = *table.CurrentId();
    Add("a");
    TaskId a = *table.CurrentId();
    Add("b");
    table.SortByDescription();
    EXPECT_TRUE(table.GotoId(c));
    EXPECT_EQ(CurrentDescription(), "c");

    // A pending edit is settled first, as by any move.
    table.EditCurrent();
    table.SetString(Field::Parameters, "/x");
    EXPECT_TRUE(table.GotoId(a));
    EXPECT_EQ(CurrentDescription(), "a");
    table.DeleteCurrent();
    EXPECT_FALSE(table.GotoId(a));
    EXPECT_EQ(CurrentDescription(), "b");
    table.GotoId(c);
    EXPECT_EQ(table.AsString(Field::Parameters), "/x");
}

TEST_F(MemTableTest, TasksFilledInBulkGoLastWithIdentitiesOfTheirOwn) {
    auto named = [](std::vector<std::string> names) {
        std::vector<TaskRecord> tasks;
        for (std::string& name : names)
            tasks.emplace_back(NewTask()).Omschrijving = std::move(name);
        return tasks;
    };
    auto ids = [&] {
        std::vector<TaskId> out;
        for (table.GotoFirst(); !table.AtEnd(); table.GotoNext()) out.push_back(*table.CurrentId());
        return out;
    };
    table.AppendFilled(named({"c", "a"})); // into an empty table, taken as they are
    table.AppendFilled(named({"b"}));      // after the tasks there
    EXPECT_EQ(Order(), (std::vector<std::string>{"c", "a", "b"}));
    const std::vector<TaskId> before = ids();
    EXPECT_EQ(std::set<TaskId>(before.begin(), before.end()).size(), 3u);

    table.SortByDescription();
    const std::vector<std::string> names = {"c", "a", "b"};
    for (std::size_t i = 0; i < names.size(); ++i) {
        EXPECT_TRUE(table.GotoId(before[i]));
        EXPECT_EQ(CurrentDescription(), names[i]);
    }

    // Emptied, the table fills again in the room it kept; the old identities are gone.
    table.ClearTable();
    table.AppendFilled(named({"x", "y"}));
    EXPECT_EQ(Order(), (std::vector<std::string>{"x", "y"}));
    EXPECT_EQ(CurrentDescription(), "y");
    EXPECT_FALSE(table.GotoId(before[0]));
    EXPECT_EQ(ids().size(), 2u);
}

// An import's many stores: the same table as one store at a time, found through the index rather
// than a walk (its compares grow as n log n, the walk's as n squared), sorted once at the end.
TEST_F(MemTableTest, BulkChangeFindsAndOrdersAsStoresOneByOne) {
    FormatSettings s;
    test::TestCollator plainCollator;
    TMemTable plain{"plain", s, plainCollator, clock};
    auto merge = [](TMemTable& t, const std::string& name, const std::string& params) {
        if (t.LocateDescription(name))
            t.EditCurrent();
        else
            t.AppendTask();
        t.SetString(Field::Omschrijving, name);
        t.SetString(Field::Parameters, params);
        t.PostTask();
    };
    for (TMemTable* t : {&table, &plain}) {
        for (int i = 0; i < 2000; i += 2) merge(*t, "taak " + std::to_string(i), "oud");
        t->SortByDescription();
    }
    const int before = collator.calls;
    table.BeginBulk();
    // New tasks, known ones in another letter case, a record named twice.
    for (int i = 0; i < 2000; i += 1) merge(table, "TAAK " + std::to_string(i * 7 % 2000), "nieuw");
    merge(table, "taak 7", "tweede keer");
    table.EndBulk();
    EXPECT_LT(collator.calls - before, 2000 * 60);
    for (int i = 0; i < 2000; i += 1) merge(plain, "TAAK " + std::to_string(i * 7 % 2000), "nieuw");
    merge(plain, "taak 7", "tweede keer");

    ASSERT_EQ(table.TaskCount(), 2000);
    EXPECT_TRUE(table.IsSorted());
    for (int i = 0; i < table.TaskCount(); ++i) {
        EXPECT_EQ(table.TaskAt(i).Omschrijving, plain.TaskAt(i).Omschrijving) << i;
        EXPECT_EQ(table.TaskAt(i).Parameters, plain.TaskAt(i).Parameters) << i;
        EXPECT_EQ(table.IdAt(i), plain.IdAt(i)) << i;
    }
    // Deleting in one pass keeps the order of the rest.
    table.DeleteWhere([](const TaskRecord& t) { return t.Parameters == "tweede keer"; });
    EXPECT_EQ(table.TaskCount(), 1999);
    EXPECT_TRUE(table.AtEnd());
    EXPECT_FALSE(table.LocateDescription("taak 7"));
}

TEST(TaskRecordTest, ManagedTaskMarker) {
    EXPECT_TRUE(IsManagedTask("kivo taak back-up"));
    EXPECT_TRUE(IsManagedTask("Nachtelijke KIVO Taak"));
    EXPECT_FALSE(IsManagedTask("kivo  taak"));
    EXPECT_FALSE(IsManagedTask("KIVO TAA"));
    EXPECT_EQ(FieldLimit(Field::Werkdirectory), 255);
    EXPECT_EQ(FieldLimit(Field::Starttijd), 0);
}

} // namespace
} // namespace kivo

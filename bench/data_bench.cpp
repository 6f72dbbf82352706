// Contact data at campaign scale: 100,000 members in one group (CSV import, exact count, the
// four date filters, the same queries through the sqlite3 command), and backup and restore of
// a 50 MB database.
#include <benchmark/benchmark.h>
#include <phonenumbers/phonenumberutil.h>
#include <stdlib.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>

#include "app/data/backup.h"
#include "app/data/contact_store.h"
#include "app/data/member_csv.h"
#include "app/data/phone_number.h"

using namespace orvexa::data;
namespace fs = std::filesystem;

namespace {

constexpr int kMembers = 100000;

fs::path fresh_folder() {
  std::string pattern = (fs::temp_directory_path() / "orvexa-bench-XXXXXX").string();
  return mkdtemp(pattern.data());
}

std::string two(int v) { return (v < 10 ? "0" : "") + std::to_string(v); }

// Members with dates spread over the year, so each filter keeps about 1/365 of them.
std::string members_csv(int count, std::size_t padding) {
  std::mt19937 random(7);
  auto date = [&] { return two(1 + random() % 12) + "/" + two(1 + random() % 29); };
  std::string csv = "name,family,num,tart,tarezd,targ,tar1,tar2,tar3,tar4,tare\n";
  const std::string pad(padding, 'x');
  for (int i = 0; i < count; ++i) {
    csv += "name" + std::to_string(i) + pad + ",family,0912" + std::to_string(1000000 + i) + "," +
           date() + "," + date() + "," + date() + "," + date() + "," + date() + "," + date() + "," +
           date() + "," + (i % 2 ? "" : "14040101") + "\n";
  }
  return csv;
}

// One shared database of 100,000 members for the query benchmarks.
struct Fixture {
  fs::path folder = fresh_folder();
  ContactStore store{folder};
  Group group;
  Fixture() {
    store.open();
    group = *store.create_group("bench").group;
    auto prepared = prepare_import(members_csv(kMembers, 0), false);
    store.insert_rows(group, prepared.rows);
  }
  ~Fixture() { fs::remove_all(folder); }
};

Fixture& fixture() {
  static Fixture shared;
  return shared;
}

const MemberFilter kFilters[] = {{DateKind::Birthday, "05/12", 14030515},
                                 {DateKind::Marriage, "05/12", 14030515},
                                 {DateKind::Contract, "05/12", 14030515},
                                 {DateKind::Instalments, "05/12", 14030515}};

void BM_ImportCsv100k(benchmark::State& state) {
  const std::string csv = members_csv(kMembers, 0);
  for (auto _ : state) {
    state.PauseTiming();
    const fs::path folder = fresh_folder();
    {
      ContactStore store(folder);
      store.open();
      Group group = *store.create_group("import").group;
      state.ResumeTiming();
      auto prepared = prepare_import(csv, false);
      store.insert_rows(group, prepared.rows);
      state.PauseTiming();
      if (store.count_members(group) != kMembers) state.SkipWithError("rows missing");
    }
    fs::remove_all(folder);
    state.ResumeTiming();
  }
}
BENCHMARK(BM_ImportCsv100k)->Unit(benchmark::kMillisecond)->Iterations(3);

// Reading 100,000 numbers: the reader, and for comparison the library's free-text parser.
std::vector<std::string> phone_texts() {
  std::vector<std::string> texts;
  for (int i = 0; i < kMembers; ++i)
    texts.push_back((i % 3 ? "0912 " : "+98 912 ") + std::to_string(1000000 + i));
  return texts;
}

void BM_ReadNumbers100k(benchmark::State& state) {
  const auto texts = phone_texts();
  for (auto _ : state) {
    PhoneNumberReader reader;
    for (const std::string& text : texts) benchmark::DoNotOptimize(reader.read(text, true));
  }
}
BENCHMARK(BM_ReadNumbers100k)->Unit(benchmark::kMillisecond);

void BM_LibraryParse100k(benchmark::State& state) {
  namespace pn = i18n::phonenumbers;
  const auto texts = phone_texts();
  const pn::PhoneNumberUtil& util = *pn::PhoneNumberUtil::GetInstance();
  for (auto _ : state) {
    for (const std::string& text : texts) {
      pn::PhoneNumber number;
      benchmark::DoNotOptimize(util.Parse(text, "IR", &number));
      benchmark::DoNotOptimize(util.IsPossibleNumber(number));
    }
  }
}
BENCHMARK(BM_LibraryParse100k)->Unit(benchmark::kMillisecond)->Iterations(2);

void BM_Count100k(benchmark::State& state) {
  auto& f = fixture();
  for (auto _ : state) benchmark::DoNotOptimize(f.store.count_members(f.group));
}
BENCHMARK(BM_Count100k)->Unit(benchmark::kMillisecond);

// Count and rows of a filter, as a campaign start opens them.
void BM_Filter100k(benchmark::State& state) {
  auto& f = fixture();
  const MemberFilter& filter = kFilters[state.range(0)];
  for (auto _ : state) {
    benchmark::DoNotOptimize(f.store.count_members(f.group, &filter));
    benchmark::DoNotOptimize(f.store.members(f.group, &filter));
  }
  state.SetLabel(filter.sql_where().substr(0, 12));
}
BENCHMARK(BM_Filter100k)->DenseRange(0, 3)->Unit(benchmark::kMillisecond);

// The same queries in the sqlite3 command, 50 per process so that its start-up hardly counts.
void BM_Sqlite3Command(benchmark::State& state) {
  auto& f = fixture();
  const char* queries[] = {
      "select count(*) from \"1\";",
      "select count(*) from \"1\" where tart = '05/12'; select * from \"1\" where tart = '05/12';",
      "select count(*) from \"1\" where tarezd = '05/12'; select * from \"1\" where tarezd = '05/12';",
      "select count(*) from \"1\" where targ = '05/12'; select * from \"1\" where targ = '05/12';",
      nullptr};
  std::string instalment_rows = " from \"1\" where ";
  for (int i = 1; i <= 12; ++i)
    instalment_rows += std::string(i > 1 ? " or " : "") + "(tar" + std::to_string(i) +
                       " = '05/12' and cast(tare as integer) >= 14030515)";
  instalment_rows += ";";
  const std::string instalments =
      "select count(*)" + instalment_rows + " select *" + instalment_rows;
  queries[4] = instalments.c_str();
  const fs::path script = f.folder / "bench.sql";
  {
    std::ofstream out(script);
    for (int i = 0; i < 50; ++i) out << queries[state.range(0)] << '\n';
  }
  const std::string command = "sqlite3 '" + f.store.database_path().string() + "' < '" +
                              script.string() + "' > /dev/null";
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    if (std::system(command.c_str()) != 0) state.SkipWithError("sqlite3 failed");
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    state.SetIterationTime(took.count() / 50);
  }
  const char* labels[] = {"count", "birthday", "marriage", "contract", "instalments"};
  state.SetLabel(labels[state.range(0)]);
}
BENCHMARK(BM_Sqlite3Command)->DenseRange(0, 4)->UseManualTime()->Unit(benchmark::kMillisecond);

// About 50 MB with the date indexes: 100,000 members with long names.
struct BigDatabase {
  fs::path folder = fresh_folder();
  fs::path chosen = fresh_folder();
  ContactStore store{folder};
  BigDatabase() {
    store.open();
    Group group = *store.create_group("big").group;
    auto prepared = prepare_import(members_csv(kMembers, 160), false);
    store.insert_rows(group, prepared.rows);
  }
  ~BigDatabase() {
    fs::remove_all(folder);
    fs::remove_all(chosen);
  }
};

void BM_Backup50MB(benchmark::State& state) {
  BigDatabase big;
  for (auto _ : state) {
    auto report = backup_database(big.store, big.chosen.string(), {1403, 1, 1}, {});
    if (!report.ok) state.SkipWithError("backup failed");
  }
  state.counters["MB"] = static_cast<double>(fs::file_size(big.store.database_path())) / 1e6;
}
BENCHMARK(BM_Backup50MB)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_Restore50MB(benchmark::State& state) {
  BigDatabase big;
  backup_database(big.store, big.chosen.string(), {1403, 1, 1}, {});
  const std::string from = (big.chosen / kBackupFolderName).string();
  for (auto _ : state) {
    auto report = restore_database(big.store, from, {});
    if (!report.ok) state.SkipWithError("restore failed");
  }
  state.counters["MB"] = static_cast<double>(fs::file_size(big.store.database_path())) / 1e6;
}
BENCHMARK(BM_Restore50MB)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

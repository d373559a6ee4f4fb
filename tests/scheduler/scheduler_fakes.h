#pragma once
// The real core parts over the given files, a test clock and the recording shell: the store
// (tests/store/store_world.h) plus the minute tick and the manual run.
#include <map>
#include <string>

#include "platform/shell.h"
#include "scheduler/launch.h"
#include "scheduler/scheduler.h"
#include "store/store_world.h"
#include "support/fake_shell.h"
#include "support/fake_timer.h"
#include "support/mem_files.h"

namespace kivo::test {

struct World : StoreWorld {
    // realShell: the shell to start through instead of the recording fake.
    explicit World(FileSystem& fs, std::string appDir, std::string fixedImport = "",
                   Shell* realShell = nullptr)
        : StoreWorld(fs, std::move(appDir), std::move(fixedImport)),
          starting(realShell ? *realShell : shell),
          scheduler(table, importer, taskFile, log, starting, clock, settings, timer1, controle),
          starter(starting), manual(table, log, starting, starter) {
        scheduler.OnReport = [this](const std::string& m) { reports.push_back(m); };
        scheduler.OnStatusText = [this](int panel, const std::string& text) {
            status[panel] = text;
        };
        timer1.enabled = true;
    }

    int Starts(const std::string& program) const {
        int n = 0;
        for (const auto& c : shell.calls) n += c.file == program;
        return n;
    }

    FakeShell shell;
    Shell& starting;
    FakeTimer timer1, controle;
    Scheduler scheduler;
    TProcessStarter starter;
    ManualRun manual;
    std::map<int, std::string> status;
};

} // namespace kivo::test

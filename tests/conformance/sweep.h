// Fault-injection sweeps shared by the modules' conformance tests. A case is
// one run of a host against the module linked into the test: a fresh session,
// the calls that lead up to the operation under test, the operation itself
// and the end operation that releases everything. The sweeps repeat the run
// with the N-th module allocation failing, for every N the run makes, and
// with the K-th dataProc or hostProgressProc call refused, for every K, with
// and without the host storing FERR_CANCELLED first. Each repetition must
// fail with the code the module documents (or survive an allocation it can do
// without), leave the record as documented, and hold no module block after
// the end operation.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "common/heap.h"
#include "host/host.h"

namespace sweep {

using SessionPtr = std::unique_ptr<host::Session>;
using Step = std::function<bool(host::Session &)>;
using Check = std::function<void(host::Session &)>;
// The code after the k-th callback of a kind (1-based) was refused.
using RefusalCode = std::function<uint32_t(int k, bool cancel)>;

struct Case {
    std::string name;
    std::function<SessionPtr()> open;  // a session with its file and record set up
    Step prepare;                      // calls before the operation under test (may be empty)
    Step operate;                      // the operation under test
    uint32_t end = FE_END_IMPORT;      // the operation that releases what the run left
    // dataProc is the export writer: refusals are write refusals. Otherwise
    // the header call is dataProc call 1 and row call k is call k + 1.
    bool writes = false;
    RefusalCode data_refused;      // empty: the case makes no dataProc call
    RefusalCode progress_refused;  // empty: the case must make no hostProgressProc call
    Check after_failure;           // the record after the operation failed
    Check after_end;               // the record after the end operation
    // Allocations whose failure the operation survives (a name it can do
    // without); the run then succeeds with fewer blocks.
    int optional_allocations = 0;
};

// What a clean run made.
struct Tally {
    long allocations = 0;
    int data_calls = 0;
    int progress_calls = 0;
};

inline int data_calls(const Case &c, host::Session &s) {
    if (c.writes) return static_cast<int>(s.writes().size());
    return s.header_calls() + static_cast<int>(s.rows().size());
}

// Ends the run and checks that the module holds nothing any more.
inline void end_run(const Case &c, host::Session &s, long live_before, const std::string &what) {
    EXPECT_EQ(s.call(c.end), 1) << what << ": the end operation";
    if (c.after_end) c.after_end(s);
    EXPECT_EQ(flt::heap_live_blocks(), live_before) << what << ": blocks left after the end";
}

inline Tally measure(const Case &c) {
    Tally t;
    const long live = flt::heap_live_blocks();
    SessionPtr s = c.open();
    s->keep_data = false;
    flt::heap_reset_counters();
    bool ok = (!c.prepare || c.prepare(*s)) && c.operate(*s);
    EXPECT_TRUE(ok) << "clean run, errorCode " << s->record().errorCode;
    t.data_calls = data_calls(c, *s);
    t.progress_calls = static_cast<int>(s->progress().size());
    s->call(c.end);
    t.allocations = flt::heap_request_count();
    EXPECT_EQ(flt::heap_live_blocks(), live) << "clean run leaks";
    return t;
}

// Allocation n fails (and with `sticky` every later one too).
inline void fail_allocation(const Case &c, long n, bool sticky, int *survived) {
    const std::string what = std::string(sticky ? "allocations from " : "allocation ") +
                             std::to_string(n) + (sticky ? " on" : "");
    const long live = flt::heap_live_blocks();
    SessionPtr s = c.open();
    s->keep_data = false;
    flt::heap_fail_at(n, sticky);
    bool ok = (!c.prepare || c.prepare(*s)) && c.operate(*s);
    flt::heap_fail_at(0);
    if (ok) {
        ++*survived;
    } else {
        EXPECT_EQ(s->record().errorCode, static_cast<uint32_t>(FERR_NO_MEMORY)) << what;
        if (c.after_failure) c.after_failure(*s);
    }
    end_run(c, *s, live, what);
}

inline void sweep_allocations(const Case &c, long allocations) {
    for (bool sticky : {false, true}) {
        int survived = 0;
        for (long n = 1; n <= allocations; ++n) fail_allocation(c, n, sticky, &survived);
        if (!sticky) {
            EXPECT_LE(survived, c.optional_allocations)
                << "runs that succeeded although an allocation failed";
        }
    }
}

enum class Callback { kData, kProgress };

inline void refuse(host::Session &s, const Case &c, Callback kind, int k) {
    if (kind == Callback::kProgress) {
        s.refuse_progress_at = k;
    } else if (c.writes) {
        s.refuse_write_at = k;
    } else if (k == 1) {
        s.refuse_header = 1;
    } else {
        s.refuse_row_at = k - 1;
    }
}

inline void refuse_call(const Case &c, Callback kind, int k, bool cancel) {
    const std::string what = std::string(kind == Callback::kData ? "dataProc" : "progress") +
                             " call " + std::to_string(k) + (cancel ? " cancelled" : " refused");
    const long live = flt::heap_live_blocks();
    SessionPtr s = c.open();
    s->keep_data = false;
    ASSERT_TRUE(!c.prepare || c.prepare(*s)) << what;
    s->store_cancel = cancel;
    refuse(*s, c, kind, k);
    EXPECT_FALSE(c.operate(*s)) << what;
    const RefusalCode &code = kind == Callback::kData ? c.data_refused : c.progress_refused;
    EXPECT_EQ(s->record().errorCode, code(k, cancel)) << what;
    if (kind == Callback::kData) {
        EXPECT_EQ(data_calls(c, *s), k) << what << ": calls after the refused one";
    }
    if (c.after_failure) c.after_failure(*s);
    s->store_cancel = false;
    end_run(c, *s, live, what);
}

inline void sweep_refusals(const Case &c, const Tally &t) {
    if (!c.data_refused) {
        EXPECT_EQ(t.data_calls, 0) << "dataProc calls";
    }
    if (!c.progress_refused) {
        EXPECT_EQ(t.progress_calls, 0) << "hostProgressProc calls";
    }
    for (bool cancel : {false, true}) {
        for (int k = 1; c.data_refused && k <= t.data_calls; ++k)
            refuse_call(c, Callback::kData, k, cancel);
        for (int k = 1; c.progress_refused && k <= t.progress_calls; ++k)
            refuse_call(c, Callback::kProgress, k, cancel);
    }
}

// Every sweep over every case. A clean run sets the ranges: the allocations
// it makes for N, its dataProc and hostProgressProc calls for K.
inline void run_all(const std::vector<Case> &cases) {
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Tally t = measure(c);
        if (std::getenv("SWEEP_TALLY")) {
            std::printf("%-48s allocations %3ld  dataProc %4d  progress %3d\n", c.name.c_str(),
                        t.allocations, t.data_calls, t.progress_calls);
        }
        EXPECT_GT(t.allocations, 0) << "the run allocates nothing";
        sweep_allocations(c, t.allocations);
        sweep_refusals(c, t);
    }
}

// An import as a host makes it: the file and the record's request, then
// identify (or not) and FE_IMPORT, the operation under test.
struct ImportRun {
    std::string name;
    std::vector<uint8_t> file;
    FilterRect region{};
    uint32_t requestFlags = 0;
    int32_t imageIndex = 1;
    bool identify_first = true;
};

inline Case import_case(const host::Module &module, const ImportRun &run) {
    Case c;
    c.name = run.name;
    auto setup = std::make_shared<ImportRun>(run);
    c.open = [&module, setup] {
        auto s = std::make_unique<host::Session>(module);
        s->set_file(setup->file);
        s->record().region = setup->region;
        s->record().requestFlags = setup->requestFlags;
        s->record().imageIndex = setup->imageIndex;
        return s;
    };
    if (run.identify_first) c.prepare = [](host::Session &s) { return s.identify(); };
    c.operate = [](host::Session &s) { return s.import_image(); };
    return c;
}

// FE_IDENTIFY alone.
inline Case identify_case(const host::Module &module, ImportRun run) {
    run.identify_first = false;
    Case c = import_case(module, run);
    c.operate = [](host::Session &s) { return s.identify(); };
    return c;
}

// An export of one image, or of an image and its transparency plane, each
// plane one FE_EXPORT.
inline Case export_case(const host::Module &module, const std::string &name,
                        std::vector<host::Image> planes) {
    Case c;
    c.name = name;
    auto images = std::make_shared<std::vector<host::Image>>(std::move(planes));
    c.open = [&module] { return std::make_unique<host::Session>(module); };
    c.operate = [images](host::Session &s) {
        const int32_t count = static_cast<int32_t>(images->size());
        for (int32_t i = 0; i < count; ++i)
            if (!s.export_plane((*images)[i], count, i + 1)) return false;
        return true;
    };
    c.end = FE_END_EXPORT;
    c.writes = true;
    return c;
}

// Record checks shared by the modules.
inline void expect_no_state(host::Session &s) {
    EXPECT_EQ(s.record().filterState, nullptr);
}
inline void expect_import_blocks_released(host::Session &s) {
    const FilterRecord &r = s.record();
    EXPECT_EQ(r.filterState, nullptr);
    EXPECT_EQ(r.palette, nullptr);
    EXPECT_EQ(r.compressionName, nullptr);
    EXPECT_EQ(r.comment, nullptr);
    EXPECT_EQ(r.linkedPlanes, nullptr);
}

// Refusal codes of the kinds the modules report.
inline RefusalCode keeps_cancel(uint32_t own) {
    return [own](int, bool cancel) { return cancel ? uint32_t(FERR_CANCELLED) : own; };
}
inline RefusalCode always(uint32_t code) {
    return [code](int, bool) { return code; };
}

}  // namespace sweep

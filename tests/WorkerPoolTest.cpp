// Threads that cannot be started: the work is done by those that could,
// down to the calling thread alone, with the same result.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <set>
#include <system_error>
#include <thread>
#include <vector>

#include "FakeWindows.h"
#include "HelperThreads.h"
#include "fractal/CNivoDoc.h"
#include "fractal/ComputeSettings.h"
#include "fractal/ReferenceCompute.h"
#include "fractal/WorkerPool.h"

namespace {
constexpr int kNoLimit = 90;
constexpr int kThreadsStillStart = 91;

bool ThreadsStart()
{
    try {
        std::thread([] {}).join();
        return true;
    } catch (const std::system_error&) {
        return false;
    }
}

// Runs `body` in a child process as an ordinary user who may run `tasks`
// processes or threads in all (as under `ulimit -u`); its exit status, or -1.
int WithThreadLimit(rlim_t tasks, const std::function<bool()>& body)
{
    const pid_t child = fork();
    if (child == 0) {
        // A user of its own, whose count no other test's process adds to.
        const uid_t alone = 60000 + getpid() % 5000;
        const rlimit limit {tasks, tasks};
        if (setrlimit(RLIMIT_NPROC, &limit) != 0 || setgid(alone) != 0 || setuid(alone) != 0)
            _exit(kNoLimit);
        if (tasks == 0 && ThreadsStart())
            _exit(kThreadsStillStart);
        _exit(body() ? 0 : 1);
    }
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

int WithoutThreads(const std::function<bool()>& body) { return WithThreadLimit(0, body); }

void SkipUnlessPossible()
{
    if (getuid() != 0)
        GTEST_SKIP() << "needs root, to limit another user's threads";
}

TEST(WorkerPool, WithoutThreadsTheCallingThreadDoesAllTheWork)
{
    SkipUnlessPossible();
    const int status = WithoutThreads([] {
        WorkerPool pool;
        std::atomic<int> next {0};
        std::vector<int> done(1000, 0);
        std::set<int> ran;
        pool.Run(4, [&](int index) {
            ran.insert(index);
            for (int item = next++; item < 1000; item = next++)
                ++done[static_cast<std::size_t>(item)];
        });
        // A second run must not wait for threads that never came.
        pool.Run(3, [&](int index) { ran.insert(index); });
        return ran == std::set<int> {0} && std::all_of(done.begin(), done.end(), [](int d) { return d == 1; });
    });
    EXPECT_EQ(status, 0);
}

// The caller and one worker are all the user may run: the worker must not
// stay idle in the place another thread (an image writer's) needs next.
TEST(WorkerPool, WhereThreadsAreScarceIdleWorkersLeaveTheirPlace)
{
    SkipUnlessPossible();
    const int status = WithThreadLimit(2, [] {
        WorkerPool pool;
        std::atomic<int> mask {0};
        for (int run = 0; run < 3; ++run)
            pool.Run(2, [&](int index) { mask |= 1 << index; });
        return mask == 3 && ThreadsStart();
    });
    EXPECT_EQ(status, 0);
}

// A worker woken by a busy caller on its own processor would wait for it;
// workers grown later are kept off it too.
TEST(WorkerPool, WorkersMayRunAnywhereButOnTheCallersProcessor)
{
    const int mine = HelperThreads::CallersProcessors();
    if (mine < 2)
        GTEST_SKIP() << "needs two processors";
    WorkerPool pool;
    for (const int count : {2, 4}) {
        std::vector<int> processors(std::size_t(count), 0);
        pool.Run(count, [&](int index) {
            cpu_set_t own;
            if (index > 0 && pthread_getaffinity_np(pthread_self(), sizeof own, &own) == 0)
                processors[std::size_t(index)] = CPU_COUNT(&own);
        });
        for (int index = 1; index < count; ++index)
            EXPECT_EQ(processors[std::size_t(index)], mine - 1) << count << " tasks, worker " << index;
    }
}

TEST(WorkerPool, WithoutThreadsComputeGivesTheSamePicture)
{
    SkipUnlessPossible();
    const ReferenceResult expected = ReferenceCompute(61, 47, 200, -0.745, 0.113, 40);
    for (const Kernel kernel : {Kernel::Avx512, Kernel::Scalar}) {
        const int status = WithoutThreads([&] {
            ComputeSettings::Set({4, kernel});
            ProgressRecorder recorder;
            FakeWindow window(61, 47);
            CNivoDoc doc(&window);
            doc.Compute(200, -0.745, 0.113, 40, DialogBars());
            return doc.m_buffer && std::vector<std::int32_t>(doc.m_buffer, doc.m_buffer + doc.BufferSize()) ==
                                       expected.entries;
        });
        EXPECT_EQ(status, 0) << KernelName(kernel);
    }
}
} // namespace

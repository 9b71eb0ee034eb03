// SPDX-License-Identifier: MIT
// The runtime frame: status texts, the reporting rules, the default handler,
// context creation, the load/unload handling and the floating-point guards.
#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <chrono>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

#include "platform/fp_env.h"
#include "runtime/context.h"
#include "runtime/lifecycle.h"
#include "runtime/memory.h"
#include "runtime/status.h"
#include "tests/support/quiet_exit.h"
#include "tests/support/recording_handler.h"

namespace {

using zv::test::RecordingHandler;
using zv::test::Report;

TEST(StatusMessage, EveryCodeHasItsText) {
    const struct {
        int status;
        const char* text;
    } table[] = {
        {0, "No Error"},
        {-1, "Backtrace"},
        {-3, "Internal error (bad state)"},
        {-4, "Out of memory"},
        {-5, "Bad argument"},
        {-6, "Unsupported function"},
        {-7, "Iteration convergence failed"},
        {-8, "Autotrace call"},
        {-10, "Null pointer"},
        {-12, "Bad pointer"},
        {-13, "Bad data structure"},
        {-14, "Bad vector length"},
    };
    for (const auto& row : table) EXPECT_STREQ(qelStatusMessage(row.status), row.text) << row.status;
    for (int status : {-2, -9, -11, -15, 1, 2, INT_MIN, INT_MAX})
        EXPECT_STREQ(qelStatusMessage(status), "Unknown error or status code") << status;
}

TEST(ReportError, OkStoresZeroAndSkipsTheHandler) {
    RecordingHandler handler;
    handler.returnValue = 77;
    qelSetStatus(QEL_STATUS_BAD_ARGUMENT);
    EXPECT_EQ(qelReportError(QEL_STATUS_OK, "f", "c", "m", 1), 0);
    EXPECT_EQ(qelGetStatus(), QEL_STATUS_OK);
    EXPECT_TRUE(handler.reports().empty());
}

TEST(ReportError, TraceCodesKeepTheStatusAndCallTheHandler) {
    RecordingHandler handler;
    handler.returnValue = 12;
    for (int trace : {int{QEL_STATUS_BACKTRACE}, int{QEL_STATUS_AUTOTRACE}}) {
        qelSetStatus(QEL_STATUS_OUT_OF_MEMORY);
        EXPECT_EQ(qelReportError(trace, "fn", "cond", "mod", 42), 12);
        EXPECT_EQ(qelGetStatus(), QEL_STATUS_OUT_OF_MEMORY);
        ASSERT_FALSE(handler.reports().empty());
        EXPECT_EQ(handler.reports().back(), (Report{trace, "fn", "cond", "mod", 42}));
    }
}

TEST(ReportError, FailureIsStoredAndPassedOnUnchanged) {
    RecordingHandler handler;
    handler.returnValue = -99;
    for (int status : {int{QEL_STATUS_BAD_ARGUMENT}, int{QEL_STATUS_OUT_OF_MEMORY}, -2, 5}) {
        handler.reports().clear();
        EXPECT_EQ(qelReportError(status, "qelsbSet", "n<=0", "qelarith", 232), -99);
        EXPECT_EQ(qelGetStatus(), status);
        ASSERT_EQ(handler.reports().size(), 1u);
        EXPECT_EQ(handler.reports()[0], (Report{status, "qelsbSet", "n<=0", "qelarith", 232}));
    }
}

TEST(DefaultHandler, ModeZeroExitsWithOneAndPrintsNothing) {
    ZV_EXPECT_QUIET_EXIT1(qelDefaultErrorHandler(QEL_STATUS_BAD_ARGUMENT, "f", "c", "m", 1),
                          nullptr, 0);
    ZV_EXPECT_QUIET_EXIT1(qelReportError(QEL_STATUS_OUT_OF_MEMORY, "f", "c", "m", 1), nullptr, 0);
}

TEST(DefaultHandler, OtherModesReturnTheStatus) {
    QelContext* context = qelGetContext();
    context->errorMode = 1;
    EXPECT_EQ(qelGetErrorMode(), 1);
    EXPECT_EQ(qelDefaultErrorHandler(-5, "f", "c", "m", 1), -5);
    EXPECT_EQ(qelDefaultErrorHandler(-1234, nullptr, nullptr, nullptr, 0), -1234);
    context->errorMode = QEL_ERROR_MODE_EXIT;
}

void expectFreshContext(const QelContext* context) {
    ASSERT_NE(context, nullptr);
    EXPECT_EQ(context->status, QEL_STATUS_OK);
    EXPECT_EQ(context->errorMode, QEL_ERROR_MODE_EXIT);
    EXPECT_EQ(context->errorHandler, &qelDefaultErrorHandler);
    for (int order = 0; order < kQelTableSlots; ++order) {
        EXPECT_EQ(context->bitRevTables[order], nullptr);
        EXPECT_EQ(context->bigTwiddleTables[order], nullptr);
        EXPECT_EQ(context->ditTwiddleTables[order], nullptr);
        EXPECT_EQ(context->difTwiddleTables[order], nullptr);
        EXPECT_EQ(context->realTwiddleTables[order], nullptr);
    }
    for (int slot = 0; slot < kQelWorkBufferSlots; ++slot) {
        EXPECT_EQ(context->workBufferSizes[slot], 0u);
        EXPECT_EQ(context->workBuffers[slot], nullptr);
    }
}

TEST(Context, ANewThreadStartsFreshAndKeepsItsOwn) {
    qelSetStatus(QEL_STATUS_BAD_ARGUMENT);  // must not leak into the other thread
    QelContext* mine = qelGetContext();
    QelContext* theirs = nullptr;
    std::thread([&] {
        theirs = qelGetContext();
        expectFreshContext(theirs);
        EXPECT_EQ(qelGetContext(), theirs);
    }).join();
    EXPECT_NE(theirs, mine);
    EXPECT_EQ(qelGetStatus(), QEL_STATUS_BAD_ARGUMENT);
    qelSetStatus(QEL_STATUS_OK);
}

TEST(Context, InitSetsTheDefaultsAndIgnoresNull) {
    QelContext context{};
    context.status = -5;
    context.errorMode = 3;
    qelInitContext(&context);
    expectFreshContext(&context);
    qelInitContext(nullptr);
}

// The text of the fatal exit reaches the user in a message box on Windows and
// on standard error elsewhere; only the latter can be read back here.
#if defined(_WIN32)
constexpr const char* kFatalExitOutput = "";
#else
constexpr const char* kFatalExitOutput = "^Problem to allocate memory for TLS QEL context\\.\n$";
#endif

TEST(ContextDeathTest, NoMemoryForAContextEndsTheProcessWithTheMessage) {
    EXPECT_DEATH(std::thread([] {
                     // Where the platform gave the thread its context at its
                     // start (Windows' thread attach), drop it first.
                     qelVariantNotify(QEL_THREAD_DETACH);
                     qelInjectContextAllocFailureAfter(0);
                     qelGetContext();
                 }).join(),
                 kFatalExitOutput);
}

// Puts a table into every cache of the calling thread's context, as the FFT
// would, so that a detach must free them.
void fillCaches(QelContext* context) {
    for (int order : {0, 5, 31}) {
        context->bitRevTables[order] = static_cast<std::int32_t*>(qelMallocWords(8));
        context->bigTwiddleTables[order] = static_cast<SComplex*>(qelMalloc(64));
        context->ditTwiddleTables[order] = static_cast<SComplex*>(qelMalloc(64));
        context->difTwiddleTables[order] = static_cast<SComplex*>(qelMalloc(64));
        context->realTwiddleTables[order] = static_cast<SComplex*>(qelMalloc(64));
    }
    context->workBuffers[3] = static_cast<SComplex*>(qelMallocPairs(16));
    context->workBufferSizes[3] = 16;
}

TEST(Lifecycle, ThreadDetachFreesTheContextWithItsTablesAndClearsTheSlot) {
    std::thread([] {
        fillCaches(qelGetContext());
        EXPECT_TRUE(qelVariantNotify(QEL_THREAD_DETACH));
        EXPECT_EQ(qel::platform::tlsGetValue(qelTlsSlot), nullptr);
        // A call during the thread's shutdown starts a fresh context.
        expectFreshContext(qelGetContext());
    }).join();
    // The fresh context is freed by the slot's own destructor at thread exit;
    // LeakSanitizer holds both to account.
}

// A thread that ends runs thread detach by itself (the slot's clean-up on
// POSIX, the loader's notification on Windows): its context leaves the list,
// so the one made just before it heads the list again.
TEST(Lifecycle, AnEndingThreadTakesItsContextOffTheList) {
    std::thread([] {
        QelContext* const outer = qelGetContext();
        QelContext* inner = nullptr;
        std::thread([&inner] { inner = qelGetContext(); }).join();
        ASSERT_NE(inner, nullptr);
        EXPECT_EQ(outer->listPrevious, nullptr) << "the ended thread's context is still on the list";
    }).join();
}

TEST(Lifecycle, ReleaseEmptiesEveryCache) {
    QelContext* context = qelGetContext();
    fillCaches(context);
    qelReleaseContextTables(context);
    expectFreshContext(context);
}

TEST(Lifecycle, ThreadAttachCreatesTheContextAndToleratesNoMemory) {
    std::thread([] {
        // Start without a context, as on POSIX, also where the platform's own
        // thread attach has already made one (Windows).
        qelVariantNotify(QEL_THREAD_DETACH);
        qelInjectContextAllocFailureAfter(0);
        EXPECT_FALSE(qelVariantNotify(QEL_THREAD_ATTACH));
        qelInjectContextAllocFailureAfter(-1);
        EXPECT_EQ(qel::platform::tlsGetValue(qelTlsSlot), nullptr);
        EXPECT_TRUE(qelVariantNotify(QEL_THREAD_ATTACH));
        expectFreshContext(static_cast<QelContext*>(qel::platform::tlsGetValue(qelTlsSlot)));
    }).join();
}

TEST(Lifecycle, UnknownReasonsDoNothing) {
    QelContext* before = qelGetContext();
    EXPECT_TRUE(qelVariantNotify(4));
    EXPECT_TRUE(qelVariantNotify(-1));
    EXPECT_EQ(qelGetContext(), before);
}

// Process attach and detach change the library's one slot, so these run in a
// child process (exit code 0 is success, anything else names the failed step).
TEST(LifecycleDeathTest, DetachThenAttachGivesANewSlotAndContext) {
    EXPECT_EXIT(
        {
            fillCaches(qelGetContext());
            if (!qelVariantNotify(QEL_PROCESS_DETACH)) std::_Exit(10);
            if (qelTlsSlot != qel::platform::kTlsOutOfIndexes) std::_Exit(11);
            if (!qelVariantNotify(QEL_PROCESS_ATTACH)) std::_Exit(12);
            if (qelTlsSlot == qel::platform::kTlsOutOfIndexes) std::_Exit(13);
            auto* held = static_cast<QelContext*>(qel::platform::tlsGetValue(qelTlsSlot));
            if (held == nullptr || held != qelGetContext()) std::_Exit(14);
            if (held->bitRevTables[5] != nullptr || held->errorHandler != qelDefaultErrorHandler)
                std::_Exit(15);
            std::_Exit(0);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST(LifecycleDeathTest, AttachFailsWhenNoSlotIsLeft) {
    EXPECT_EXIT(
        {
            qelVariantNotify(QEL_PROCESS_DETACH);
            while (qel::platform::tlsAlloc() != qel::platform::kTlsOutOfIndexes) {
            }
            if (qelVariantNotify(QEL_PROCESS_ATTACH)) std::_Exit(10);
            if (qelTlsSlot != qel::platform::kTlsOutOfIndexes) std::_Exit(11);
            if (!qelVariantNotify(QEL_PROCESS_DETACH)) std::_Exit(12);
            std::_Exit(0);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST(LifecycleDeathTest, AttachFailsWhenTheFirstContextHasNoMemory) {
    EXPECT_EXIT(
        {
            qelVariantNotify(QEL_PROCESS_DETACH);
            qelInjectContextAllocFailureAfter(0);
            if (qelVariantNotify(QEL_PROCESS_ATTACH)) std::_Exit(10);
            qelInjectContextAllocFailureAfter(-1);
            if (qel::platform::tlsGetValue(qelTlsSlot) != nullptr) std::_Exit(11);
            // Detach, as the platform does after a refused attach, gives the
            // slot back.
            qelVariantNotify(QEL_PROCESS_DETACH);
            if (qelTlsSlot != qel::platform::kTlsOutOfIndexes) std::_Exit(12);
            std::_Exit(0);
        },
        ::testing::ExitedWithCode(0), "");
}

}  // namespace

namespace {

// The checker itself: an exit that wrote its output, printed, or used another
// code must fail it.
float checkerBuffer[4];

void writeThenExit() {
    checkerBuffer[2] = 5.0f;
    std::exit(1);
}
void printThenExit() {
    std::printf("x");
    std::exit(1);
}

TEST(QuietExitChecker, CatchesWritesOutputAndOtherExitCodes) {
    EXPECT_NONFATAL_FAILURE(ZV_EXPECT_QUIET_EXIT1(writeThenExit(), checkerBuffer, sizeof checkerBuffer), "");
    EXPECT_NONFATAL_FAILURE(ZV_EXPECT_QUIET_EXIT1(printThenExit(), checkerBuffer, sizeof checkerBuffer), "");
    EXPECT_NONFATAL_FAILURE(ZV_EXPECT_QUIET_EXIT1(std::exit(3), checkerBuffer, sizeof checkerBuffer), "");
    EXPECT_NONFATAL_FAILURE(ZV_EXPECT_QUIET_EXIT1((void)0, checkerBuffer, sizeof checkerBuffer), "");
    ZV_EXPECT_QUIET_EXIT1(std::exit(1), checkerBuffer, sizeof checkerBuffer);
}

#if defined(_WIN32)
[[noreturn]] void hang() {
    for (;;) std::this_thread::sleep_for(std::chrono::seconds(1));
}

// The Windows runner ends a child that outlives its limit and fails the check.
TEST(QuietExitChecker, EndsAChildThatDoesNotEndAndFails) {
    zv::test::setQuietExitTimeLimit(3000);
    EXPECT_NONFATAL_FAILURE(ZV_EXPECT_QUIET_EXIT1(hang(), nullptr, 0), "did not end within 3000 ms");
    zv::test::setQuietExitTimeLimit(300000);
}
#endif

#if defined(__i386__) || defined(__x86_64__)
std::uint16_t x87StatusFlags() {
    std::uint16_t status;
    asm volatile("fnstsw %0" : "=m"(status) : : "memory");
    return status & 0x3F;
}

// One third in the x87 unit: the precision (inexact) flag.
void raiseX87Inexact() {
    static const double three = 3.0;
    long double x = 1.0L;
    asm volatile("fdivl %1" : "+t"(x) : "m"(three) : "memory");
    volatile long double keep = x;
    (void)keep;
}

TEST(FpEnv, X87ScopeSetsItsFieldsAndGivesTheCallersWordBackWithTheFlagsAsAsked) {
    const std::uint16_t original = qel::fp::x87ControlWord();
    // 53-bit precision, rounding down, every exception masked.
    const std::uint16_t caller = 0x067F;
    qel::fp::setX87ControlWord(caller);
    qel::fp::clearX87Exceptions();
    {
        const qel::fp::X87Scope scope(qel::fp::kX87PrecisionField | qel::fp::kX87RoundingField,
                                      qel::fp::kX87Precision24 | qel::fp::kX87RoundTowardZero);
        EXPECT_EQ(qel::fp::x87ControlWord(), 0x0C7F);
        raiseX87Inexact();
    }
    EXPECT_EQ(qel::fp::x87ControlWord(), caller);
    EXPECT_NE(x87StatusFlags(), 0) << "kept: the flag raised inside";
    {
        const qel::fp::X87Scope scope(qel::fp::kX87PrecisionField, qel::fp::kX87Precision64, qel::fp::X87Flags::clear);
        EXPECT_EQ(x87StatusFlags(), 0) << "cleared on the way in";
        EXPECT_EQ(qel::fp::x87ControlWord(), 0x077F);
        raiseX87Inexact();
    }
    EXPECT_EQ(x87StatusFlags(), 0) << "cleared on the way out";
    EXPECT_EQ(qel::fp::x87ControlWord(), caller);
    qel::fp::setX87ControlWord(original);
}
#endif

#if defined(__SSE__)
// 1/3 in an SSE register (whatever unit the build's float arithmetic
// takes): the inexact flag.
void raiseSseInexact() {
    volatile float one = 1.0f;
    volatile float three = 3.0f;
    volatile float third = _mm_cvtss_f32(_mm_div_ss(_mm_set_ss(one), _mm_set_ss(three)));
    (void)third;
}

TEST(FpEnv, SseScopesGiveTheWholeRegisterBackAndKeepWhatTheyDoNotSet) {
    const unsigned original = qel::fp::sseControl();
    // Flush to zero, rounding up, every exception masked, no flag.
    const unsigned caller = qel::fp::kSseFlushToZero | qel::fp::kSseRoundUp | qel::fp::kSseExceptionMasks;
    qel::fp::setSseControl(caller);
    {
        const qel::fp::SseScope scope(qel::fp::kSseRoundingField | qel::fp::kSseExceptionFlags,
                                      qel::fp::kSseRoundTowardZero);
        EXPECT_EQ(qel::fp::sseControl() & ~qel::fp::kSseExceptionFlags,
                  qel::fp::kSseFlushToZero | qel::fp::kSseRoundTowardZero | qel::fp::kSseExceptionMasks);
        raiseSseInexact();
        EXPECT_NE(qel::fp::sseControl() & qel::fp::kSseExceptionFlags, 0u);
    }
    EXPECT_EQ(qel::fp::sseControl(), caller);
    {
        const qel::fp::SseFlagsScope scope;
        EXPECT_EQ(scope.caller(), caller);
        raiseSseInexact();
    }
    EXPECT_EQ(qel::fp::sseControl(), caller);
    qel::fp::setSseControl(original);
}
#endif

}  // namespace

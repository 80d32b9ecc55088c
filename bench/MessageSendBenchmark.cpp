// A message send of the stand-in runtime beside a C++ virtual call, in one run. Counters
// (nanoseconds per call):
//   virtual_ns        a virtual member function called through a base pointer, the class
//                     and the body out of the compiler's sight (see VirtualCallTarget.h)
//   send_sel_ns       send<R>(object, selector) with the selector kept by the call site
//   send_name_ns      send<R>(object, "name"), the selector interned at each send
//   before_ns         the send as it was before method caches (see sendBeforeCaches)
//   ratio             send_sel_ns / virtual_ns (goal: at most 5)
//   before_ratio      before_ns / virtual_ns

#include "SideBySide.h"

#include "ClassBuilder.h"
#include "VirtualCallTarget.h"

#include <benchmark/benchmark.h>

#include <mutex>
#include <string>
#include <unordered_map>

namespace {

constexpr int kCalls = 100000;

struct TaggedView : objc_object {
    long long value { 3 };
};

Class benchViewClass()
{
    static Class cls = ClassBuilder("KVBenchView", "NSObject")
                           .instancesOf<TaggedView>()
                           .method("tag", [](id self, SEL) -> long long { return static_cast<TaggedView*>(self.get())->value; })
                           .get();
    return cls;
}

// What a send did before this runtime had method caches, step by step as it was: the
// selector interned by name under a mutex (a string made for the lookup), the receiver
// copied, the method looked up under the class table's read lock, the encoding compared
// as a string, and the receiver copied again into the call.
SEL internAsBefore(const char* name)
{
    static std::mutex mutex;
    static std::unordered_map<std::string, SEL> selectors;
    std::lock_guard lock(mutex);
    auto& entry = selectors[name];
    if (!entry)
        entry = sel(name);
    return entry;
}

long long sendBeforeCaches(const id& receiver, const char* name)
{
    id self = receiver;
    SEL selector = internAsBefore(name);
    Method method = class_getInstanceMethod(object_getClass(self), selector);
    if (!method)
        objc_raiseUnrecognizedSelector(self, selector);
    static const std::string expected = methodEncoding<long long>();
    if (method->types != expected)
        objc_raiseTypeMismatch(self, selector, method->types, expected);
    using Function = long long (*)(id, SEL);
    return reinterpret_cast<Function>(method_getImplementation(method))(self, selector);
}

void BM_MessageSendVsVirtualCall(benchmark::State& state)
{
    // Every loop hides its receiver from the optimiser at each call the same way, so that
    // the compiler can hoist nothing of a send or of the virtual call out of the loop.
    Shape* shape = makeTaggedShape(3);
    id view = class_createInstance(benchViewClass());
    static const SEL tagSelector = sel("tag");

    SideBySide ways;
    ways.add("virtual", [&] {
        long long sum = 0;
        for (int i = 0; i < kCalls; ++i) {
            benchmark::DoNotOptimize(shape);
            sum += shape->tag();
        }
        benchmark::DoNotOptimize(sum);
    }, kCalls);
    ways.add("send_sel", [&] {
        long long sum = 0;
        for (int i = 0; i < kCalls; ++i) {
            benchmark::DoNotOptimize(view);
            sum += send<long long>(view, tagSelector);
        }
        benchmark::DoNotOptimize(sum);
    }, kCalls);
    ways.add("send_name", [&] {
        long long sum = 0;
        for (int i = 0; i < kCalls; ++i) {
            benchmark::DoNotOptimize(view);
            sum += send<long long>(view, "tag");
        }
        benchmark::DoNotOptimize(sum);
    }, kCalls);
    ways.add("before", [&] {
        long long sum = 0;
        for (int i = 0; i < kCalls; ++i) {
            benchmark::DoNotOptimize(view);
            sum += sendBeforeCaches(view, "tag");
        }
        benchmark::DoNotOptimize(sum);
    }, kCalls);
    ways.measure(state, 1e9, "_ns");
    state.counters["ratio"] = ways.seconds("send_sel") / ways.seconds("virtual");
    state.counters["before_ratio"] = ways.seconds("before") / ways.seconds("virtual");
    delete shape;
}

} // namespace

BENCHMARK(BM_MessageSendVsVirtualCall)->Unit(benchmark::kMillisecond)->MinTime(1.0);

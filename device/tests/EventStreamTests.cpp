// The page's live updates: a browser that does not read is dropped, the others go on.
#include "EventStream.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(EventStreamTest, ASubscriberGetsTheGreetingThenEveryEventInOrder)
{
    EventStream stream;
    auto subscriber = stream.subscribe({ EventStream::frame("screen", "{\"version\":1}") });
    stream.publish("trace", "{\"event\":\"boot\"}");
    auto messages = subscriber->next(0);
    ASSERT_TRUE(messages);
    EXPECT_EQ(*messages, (std::vector<std::string> { "event: screen\ndata: {\"version\":1}\n\n", "event: trace\ndata: {\"event\":\"boot\"}\n\n" }));
    // Nothing new: an empty list once the wait is over, not the end.
    messages = subscriber->next(0);
    ASSERT_TRUE(messages);
    EXPECT_TRUE(messages->empty());
}

TEST(EventStreamTest, ASubscriberThatLeavesTooMuchUnreadIsDroppedAndTheOthersGoOn)
{
    EventStream stream;
    auto slow = stream.subscribe({});
    auto reader = stream.subscribe({});
    std::string line(64 * 1024, 'x');
    size_t published = 0;
    while (published <= EventStream::kMaxQueuedBytes) {
        stream.publish("trace", line);
        published += line.size();
        auto read = reader->next(0);
        ASSERT_TRUE(read);
        EXPECT_EQ(read->size(), 1u);
    }
    EXPECT_TRUE(slow->isDropped());
    EXPECT_FALSE(slow->next(0));
    EXPECT_FALSE(reader->isDropped());
    stream.publish("trace", "{}");
    EXPECT_TRUE(reader->next(0));

    // The server stops: every subscription ends.
    stream.close();
    EXPECT_FALSE(reader->next(0));
}

} // namespace

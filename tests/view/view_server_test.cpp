// The view's HTTP side as browsers meet it: only the page and the stream are
// served, pages that leave or never read cost the touch side nothing, and
// many pages are served at once.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "http_test_client.h"
#include "view/event_hub.h"
#include "view/view_server.h"

namespace vornmt::tools::view {
namespace {

class ViewServerTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        // A page that stops reading is given the tests' whole deadline, so
        // that however slow the machine, it is never closed while a test
        // still means it to read again.
        server_.set_stalled_page_ms(kDeadlineMs);
        ASSERT_TRUE(server_.Start("127.0.0.1", 0, &error)) << error;
        port_ = static_cast<std::uint16_t>(server_.port());
    }

    // Waits until `count` pages are open, or the deadline passes.
    bool WaitForOpenPages(std::size_t count) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kDeadlineMs);
        while (hub_.open_pages() != count) {
            if (std::chrono::steady_clock::now() > deadline) return false;
            // Keeps publishing, which is also how a departed page is noticed.
            hub_.PublishFrame(0, 0, {});
            std::this_thread::yield();
        }
        return true;
    }

    EventHub hub_;
    ViewServer server_{&hub_};
    std::uint16_t port_ = 0;
};

TEST_F(ViewServerTest, ServesThePageAndTheStreamOnly) {
    HttpTestClient page;
    ASSERT_TRUE(page.Get(port_, "/"));
    ASSERT_TRUE(page.ReadUntil("</html>"));
    EXPECT_EQ(page.received().rfind("HTTP/1.1 200", 0), 0u);
    EXPECT_NE(page.received().find("text/html; charset=utf-8"), std::string::npos);
    EXPECT_NE(page.received().find("new EventSource(\"events\")"), std::string::npos);
    EXPECT_EQ(page.received().find("http://"), page.received().find("http://www.w3.org/2000/svg"))
        << "the page loads nothing from elsewhere";

    for (const char* path : {"/index.html", "/../../etc/passwd", "/events/../x", "/%2e%2e/", "/tools/view/page.html"}) {
        HttpTestClient other;
        ASSERT_TRUE(other.Get(port_, path));
        ASSERT_TRUE(other.ReadUntil("\r\n")) << path;
        EXPECT_EQ(other.received().rfind("HTTP/1.1 404", 0), 0u) << path << ": " << other.received();
    }
    for (const char* host : {"touch.example.com", "127.0.0.1.example.com:80", "-"}) {
        HttpTestClient foreign;
        ASSERT_TRUE(foreign.Get(port_, "/events", host));
        ASSERT_TRUE(foreign.ReadUntil("\r\n"));
        EXPECT_EQ(foreign.received().rfind("HTTP/1.1 403", 0), 0u) << host << ": another site must not read the stream";
    }
    EXPECT_EQ(hub_.open_pages(), 0u);
}

TEST_F(ViewServerTest, BrowserLeavingMidStreamReleasesItsPage) {
    {
        HttpTestClient page;
        ASSERT_TRUE(page.Get(port_, "/events"));
        hub_.PublishGesture(1, "TG_DOWN", {1, 2});
        ASSERT_TRUE(page.ReadUntil("TG_DOWN"));
    }
    EXPECT_TRUE(WaitForOpenPages(0));
    // A new page after that is served as before.
    HttpTestClient again;
    ASSERT_TRUE(again.Get(port_, "/events"));
    ASSERT_TRUE(again.ReadUntil("\"type\":\"hello\""));
}

TEST_F(ViewServerTest, ManyPagesAtOnceEachGetEveryGesture) {
    std::vector<std::unique_ptr<HttpTestClient>> pages;
    for (std::size_t i = 0; i < kMaxPages; ++i) {
        pages.push_back(std::make_unique<HttpTestClient>());
        ASSERT_TRUE(pages.back()->Get(port_, "/events"));
        ASSERT_TRUE(pages.back()->ReadUntil("\"type\":\"hello\"")) << "page " << i;
    }
    HttpTestClient one_too_many;
    ASSERT_TRUE(one_too_many.Get(port_, "/events"));
    ASSERT_TRUE(one_too_many.ReadUntil("open already"));
    EXPECT_EQ(one_too_many.received().rfind("HTTP/1.1 503", 0), 0u);

    for (int i = 0; i < 50; ++i) hub_.PublishGesture(i, "TG_" + std::to_string(i), {});
    for (auto& page : pages) EXPECT_TRUE(page->ReadUntil("\"name\":\"TG_49\""));
    for (auto& page : pages) EXPECT_EQ(page->Count("\"type\":\"gesture\""), 50);
}

TEST_F(ViewServerTest, PageThatNeverReadsNeitherSlowsTheTouchSideNorGrows) {
    HttpTestClient stalled;
    ASSERT_TRUE(stalled.Get(port_, "/events"));
    ASSERT_TRUE(WaitForOpenPages(1));
    // 6000 frames of 100 points, about 13 MB: more than the socket buffers
    // take, so the page's backlog has to drop frames. If publishing waited
    // for the page, it would never finish.
    std::vector<WirePoint> points(100, WirePoint{2, 1, 1920, 1080, 30, 30});
    auto published = std::async(std::launch::async, [&] {
        for (int i = 0; i < 6000; ++i) {
            hub_.PublishFrame(i, i, points);
            if (i % 300 == 0) hub_.PublishGesture(i, "TG_MOVE", {});
        }
        return true;
    });
    ASSERT_EQ(published.wait_for(std::chrono::milliseconds(kDeadlineMs)), std::future_status::ready);
    // The page then reads: it is told how many frames it lost, and still gets
    // every gesture.
    ASSERT_TRUE(stalled.ReadUntil("\"type\":\"dropped\""));
    hub_.PublishGesture(1, "TG_LAST", {});
    ASSERT_TRUE(stalled.ReadUntil("TG_LAST"));
    EXPECT_EQ(stalled.Count("\"name\":\"TG_MOVE\""), 20);
    EXPECT_LT(stalled.Count("\"type\":\"frame\""), 6000);
}

TEST_F(ViewServerTest, StoppingEndsOpenStreams) {
    HttpTestClient page;
    ASSERT_TRUE(page.Get(port_, "/events"));
    ASSERT_TRUE(page.ReadUntil("\"type\":\"hello\""));
    hub_.PublishResolution(800, 600);
    server_.Stop();
    EXPECT_TRUE(page.ReadToEnd());
    EXPECT_NE(page.received().find("\"x\":800"), std::string::npos);
}

TEST_F(ViewServerTest, IdleConnectionsDoNotKeepThePageWaiting) {
    // More connections that send nothing than there are serving threads,
    // each opened before the page asks.
    std::vector<std::unique_ptr<HttpTestClient>> idle;
    for (int i = 0; i < 60; ++i) {
        idle.push_back(std::make_unique<HttpTestClient>());
        ASSERT_TRUE(idle.back()->Open(port_)) << "connection " << i;
    }
    HttpTestClient page;
    ASSERT_TRUE(page.Get(port_, "/"));
    // Served at once; 3 s only bounds a slow machine.
    EXPECT_TRUE(page.ReadUntil("</html>", 1, 3000)) << page.received().substr(0, 200);
}

TEST_F(ViewServerTest, RequestDeclaringABodyIsAnsweredAndClosedWithTheBodyUnread) {
    const std::string host = "Host: 127.0.0.1:" + std::to_string(port_) + "\r\n";
    const std::pair<std::string, std::string> cases[] = {
        {"POST / HTTP/1.1\r\n" + host + "Content-Length: 300000000\r\n\r\n", "HTTP/1.1 405"},
        {"GET / HTTP/1.1\r\n" + host + "Content-Length: 300000000\r\n\r\n", "HTTP/1.1 413"},
        {"PUT / HTTP/1.1\r\n" + host + "Transfer-Encoding: chunked\r\n\r\n", "HTTP/1.1 405"},
    };
    for (const auto& [head, answer] : cases) {
        HttpTestClient client;
        ASSERT_TRUE(client.Open(port_));
        ASSERT_TRUE(client.Send(head));
        // The first of the body; the server, closing, may refuse the rest.
        client.Send(std::string(1 << 20, 'x'));
        EXPECT_TRUE(client.ReadToEnd()) << head;
        EXPECT_EQ(client.received().rfind(answer, 0), 0u) << head << client.received();
    }
}

TEST_F(ViewServerTest, RequestHeadIsReadNoFurtherThanItsLimit) {
    // Header lines without end; 32 MiB is more than the sockets' buffers
    // hold, so the send fails only if the server stops reading and closes.
    std::string head = "GET / HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(port_) + "\r\n";
    while (head.size() < (32u << 20)) head += "X-Filler: " + std::string(54, 'x') + "\r\n";
    HttpTestClient client;
    ASSERT_TRUE(client.Open(port_));
    EXPECT_FALSE(client.Send(head));
    EXPECT_TRUE(client.ReadToEnd());
    EXPECT_EQ(client.received().rfind("HTTP/1.1 400", 0), 0u) << client.received().substr(0, 200);
}

TEST(ViewServerBinding, BoundToAllAddressesItServesOnlyNamesThatReachIt) {
    EventHub hub;
    ViewServer server(&hub);
    std::string error;
    ASSERT_TRUE(server.Start("0.0.0.0", 0, &error, {"Touch-PC.lan"})) << error;
    const std::string port = ":" + std::to_string(server.port());
    for (const std::string& host : {"rebound.example" + port, std::string("rebound.example"), std::string("127.0.0.1:1")}) {
        HttpTestClient client;
        ASSERT_TRUE(client.Get(static_cast<std::uint16_t>(server.port()), "/", host));
        ASSERT_TRUE(client.ReadUntil("\r\n"));
        EXPECT_EQ(client.received().rfind("HTTP/1.1 403", 0), 0u) << host << ": " << client.received();
    }
    for (const std::string& host : {"127.0.0.1" + port, "localhost" + port, "touch-pc.lan" + port}) {
        HttpTestClient client;
        ASSERT_TRUE(client.Get(static_cast<std::uint16_t>(server.port()), "/", host));
        ASSERT_TRUE(client.ReadUntil("\r\n"));
        EXPECT_EQ(client.received().rfind("HTTP/1.1 200", 0), 0u) << host << ": " << client.received();
    }
}

}  // namespace
}  // namespace vornmt::tools::view

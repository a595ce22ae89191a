// libpq is loaded by the first PostgreSQL connection. Without it (or with a
// library that is not libpq), opening a connection raises the dataset's
// error, every time, and the program carries on.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "loaders/loader_fixture.h"
#include "platform/loaders/internal/pg_api.h"
#include "platform/loaders/pg_connection.h"

namespace {

using qx::LoadLibpq;
using qx::TPgConnection;

// Loads `soname` in place of libpq while it lives, libpq again after.
class UseLibpq {
  public:
    explicit UseLibpq(const char* soname) { qx::UseLibpqForTests(soname); }
    ~UseLibpq() { qx::UseLibpqForTests(nullptr); }
    UseLibpq(const UseLibpq&) = delete;
    UseLibpq& operator=(const UseLibpq&) = delete;
};

class PgLibrary : public qxtest::LoaderTest {
  protected:
    // The error of opening a connection; no server is asked for anything.
    static std::string ConnectError() {
        return ErrorOf([] { TPgConnection connection("host=127.0.0.1 colour=blue", "CUSTOMERS"); });
    }
};

TEST_F(PgLibrary, MissingLibraryFailsTheConnectionEveryTime) {
    const UseLibpq missing("libqxrtf-no-such-libpq.so.5");
    const std::string expected =
        "Dataset CUSTOMERS: PostgreSQL support needs libqxrtf-no-such-libpq.so.5: "
        "libqxrtf-no-such-libpq.so.5: cannot open shared object file: No such file or directory";
    EXPECT_EQ(ConnectError(), expected);
    // The failure is remembered, not retried, and nothing of libpq is called.
    EXPECT_EQ(ConnectError(), expected);
}

TEST_F(PgLibrary, LibraryWithoutLibpqsFunctionsFailsTheConnection) {
    // A library that is surely there (the tests link it) but is no libpq.
    const UseLibpq notLibpq("libsqlite3.so.0");
    const std::string message = ConnectError();
    const std::string head = "Dataset CUSTOMERS: PostgreSQL support needs libsqlite3.so.0: ";
    const std::string tail = "libsqlite3.so.0: undefined symbol: PQclear";
    EXPECT_EQ(message.rfind(head, 0), 0u) << message;
    ASSERT_GE(message.size(), tail.size()) << message;
    EXPECT_EQ(message.substr(message.size() - tail.size()), tail) << message;
    EXPECT_EQ(ConnectError(), message);
}

TEST_F(PgLibrary, LibpqLoadsAfterAFailedAttempt) {
    {
        const UseLibpq missing("libqxrtf-no-such-libpq.so.5");
        EXPECT_NE(LoadLibpq(), "");
    }
    EXPECT_EQ(LoadLibpq(), "");
    // libpq's own answer: its functions are at hand.
    EXPECT_EQ(ConnectError(),
              "Dataset CUSTOMERS: cannot connect to PostgreSQL: invalid connection option "
              "\"colour\"");
}

TEST_F(PgLibrary, ThreadsLoadingAtOnceAllSeeOneOutcome) {
    for (const char* soname : {"libqxrtf-no-such-libpq.so.5", static_cast<const char*>(nullptr)}) {
        SCOPED_TRACE(soname != nullptr ? soname : "libpq");
        const UseLibpq use(soname);
        std::vector<std::string> seen(4);
        std::vector<std::thread> threads;
        for (std::string& answer : seen) threads.emplace_back([&answer] { answer = LoadLibpq(); });
        for (std::thread& t : threads) t.join();
        for (const std::string& answer : seen) EXPECT_EQ(answer, LoadLibpq());
        EXPECT_EQ(LoadLibpq().empty(), soname == nullptr);
    }
}

}  // namespace

// Tests against a real PostgreSQL server: the one scripts/pg-test-cluster.sh
// started for this build (CTest does so before these tests), with the
// customers/orders/lines schema, the `typed` table and the letters.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <memory>
#include <string>

#include "loaders/loader_fixture.h"
#include "platform/loaders/pg_dataset.h"

namespace qxtest {

class PgTest : public LoaderTest {
  protected:
    void SetUp() override {
        LoaderTest::SetUp();
        std::ifstream env(QXRTF_PG_ENV_FILE);
        for (std::string line; std::getline(env, line);) {
            const auto eq = line.find('=');
            if (eq != std::string::npos) FEnv[line.substr(0, eq)] = line.substr(eq + 1);
        }
        if (FEnv.count("PGPORT") != 0) return;
        const std::string start = std::string("bash ") + QXRTF_PG_CLUSTER_SCRIPT + " start " +
                                  std::filesystem::path(QXRTF_PG_ENV_FILE).parent_path().string();
        if (std::getenv("QXRTF_REQUIRE_PG") != nullptr)
            FAIL() << "no PostgreSQL server for the tests (QXRTF_REQUIRE_PG is set); run " << start;
        GTEST_SKIP() << "no PostgreSQL server for the tests; run " << start;
    }

    std::string Env(const std::string& key) const { return FEnv.at(key); }
    // Over the unix socket, which trusts the local user.
    std::string SocketConnection() const {
        return "host=" + Env("PGHOST") + " port=" + Env("PGPORT") + " dbname=" + Env("PGDATABASE") +
               " user=" + Env("QXRTF_PG_USER");
    }
    // Over TCP, which asks for the password.
    std::string TcpConnection(const std::string& password, const std::string& port = {}) const {
        return "host=127.0.0.1 port=" + (port.empty() ? Env("PGPORT") : port) +
               " dbname=" + Env("PGDATABASE") + " user=" + Env("QXRTF_PG_USER") +
               " password=" + password;
    }
    // The shell assignments that make libpq find the server with no
    // connection string at all.
    std::string EnvAssignments() const {
        return "PGHOST='" + Env("PGHOST") + "' PGPORT=" + Env("PGPORT") +
               " PGDATABASE=" + Env("PGDATABASE") + " PGUSER=" + Env("QXRTF_PG_USER") + " ";
    }

    std::shared_ptr<qx::TPgConnection> Connection() {
        if (!FConnection)
            FConnection = std::make_shared<qx::TPgConnection>(SocketConnection(), "PG");
        return FConnection;
    }
    std::unique_ptr<qx::TPgDataSet> Open(const std::string& name, const std::string& sql,
                                         const qx::TColumnTypes& types = {}) {
        return std::make_unique<qx::TPgDataSet>(name, Connection(), sql, types);
    }

  private:
    std::map<std::string, std::string> FEnv;
    std::shared_ptr<qx::TPgConnection> FConnection;
};

}  // namespace qxtest

// tarrowind-sim: plays access-control modules on lab links for discovery and settings tests.
#include "sim_config.h"
#include "sim_server.h"

#include <CLI/CLI.hpp>

#include <csignal>
#include <filesystem>
#include <iostream>
#include <sys/stat.h>

using namespace tarrowind::sim;

namespace {

// Raw sockets here would put module traffic on the machine's real network. So the simulator only
// runs inside a named network namespace (one that 'ip netns' made, as scripts/lab does), and never
// in the namespace of process 1.
bool inLabNamespace(std::string& why)
{
    struct stat own {};
    if (stat("/proc/self/ns/net", &own) != 0) {
        why = "cannot tell which network namespace this is (/proc/self/ns/net unreadable)";
        return false;
    }
    struct stat first {};
    if (stat("/proc/1/ns/net", &first) == 0 && own.st_dev == first.st_dev && own.st_ino == first.st_ino) {
        why = "refusing to run in the machine's own network namespace; start it with "
              "'ip netns exec <lab namespace> tarrowind-sim ...' (see scripts/lab)";
        return false;
    }
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/run/netns", error)) {
        struct stat named {};
        if (stat(entry.path().c_str(), &named) == 0 && named.st_dev == own.st_dev && named.st_ino == own.st_ino)
            return true;
    }
    why = "not inside a named network namespace; start it with "
          "'ip netns exec <lab namespace> tarrowind-sim ...' (see scripts/lab)";
    return false;
}

} // namespace

int main(int argc, char** argv)
{
    CLI::App app{"Simulates access-control network modules on lab links (raw Ethernet, HTTP and HTTPS)."};
    ServerOptions options;
    app.add_option("--config", options.configPath, "JSON file describing the modules")->required();
    app.add_option("--link", options.links,
                   "interface to play modules on (repeatable); default: the links the config names");
    app.add_flag("--verbose", options.verbose, "log every frame and web request handled to stderr");
    app.add_option("--tls-key", options.tlsKeyFile,
                   "PEM file holding the HTTPS key: read when it exists, else made there; without it every start "
                   "makes a new key, which clients that remember keys see as a changed certificate");
    app.add_option("--web-threads", options.threads, "threads per web server (parallel clients)")
        ->check(CLI::Range(1, 1024));
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        // Usage errors share the exit code of configuration errors.
        return app.exit(error) == 0 ? 0 : 2;
    }

    std::signal(SIGPIPE, SIG_IGN);

    SimConfig config;
    try {
        if (!options.links.empty()) options.defaultLink = options.links.front();
        config = loadConfig(options.configPath, options.defaultLink);
        if (options.links.empty()) options.links = linksNamed(config);
        else requireLinks(config, options.links);
        if (options.links.empty()) throw ConfigError("no link to play on: give --link or name links in the config");
    } catch (const ConfigError& error) {
        std::cerr << "tarrowind-sim: " << options.configPath << ": " << error.what() << '\n';
        return 2;
    }

    std::string why;
    if (!inLabNamespace(why)) {
        std::cerr << "tarrowind-sim: " << why << '\n';
        return 1;
    }

    try {
        SimServer server(options, config);
        return server.run(std::cout);
    } catch (const LinkError& error) {
        std::cerr << "tarrowind-sim: " << error.what() << '\n';
        return 1;
    } catch (const InterfaceError& error) {
        std::cerr << "tarrowind-sim: " << error.what() << '\n';
        return 1;
    } catch (const WebError& error) {
        std::cerr << "tarrowind-sim: " << error.what() << '\n';
        return 1;
    } catch (const std::runtime_error& error) {
        std::cerr << "tarrowind-sim: " << error.what() << '\n';
        return 1;
    }
}

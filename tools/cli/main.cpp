// tarrowind-cli: the command-line companion for scripting searches and module actions.
#include <CLI/CLI.hpp>

#include <iostream>

#include "tools/cli/search_command.h"

int main(int argc, char** argv)
{
    CLI::App app{"Finds the maker's network modules on every local network and acts on them."};
    app.name("tarrowind-cli");
    app.require_subcommand(1);

    tarrowind::SearchOptions search;
    CLI::App* searchCommand = app.add_subcommand("search", "Search every local network once and list the modules heard");
    searchCommand->add_flag("--json", search.json, "One JSON object per line");
    searchCommand->add_option("--search-ms", search.searchMs, "Length of the search in milliseconds")
        ->check(CLI::Range(100u, 600000u))
        ->capture_default_str();

    CLI11_PARSE(app, argc, argv);

    if (searchCommand->parsed()) {
        return tarrowind::RunSearchCommand(search, std::cout, std::cerr);
    }
    return 2;
}

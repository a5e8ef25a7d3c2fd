// The bare UDP exchange as a program of its own, to set beside talvero-rcon's process start:
// bench_cli_bareclient PORT PASSWORD prints the status reply.
#include "bench/cli/bareexchange.h"

#include <cstdio>
#include <cstdlib>

int main(int argc, char *argv[]) {
    if (argc != 3)
        return 2;
    const std::string text =
        bareStatusExchange(static_cast<unsigned short>(std::atoi(argv[1])), argv[2]);
    if (text.empty())
        return 3;
    std::fwrite(text.data(), 1, text.size(), stdout);
    return 0;
}

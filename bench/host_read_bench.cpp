// host_read_bench: how fast the file engine delivers records by number.
//
// Builds a scratch database in /tmp with one file of N records (default
// 1,000,000; 64-byte records: an integer key, a real, a 40-character text),
// then times loops of OLIREENREG "L" over every record number, copying each
// record as the engine does, and one walk in key order ("P" then "S").
// Prints records per second.  Exit code 0 unless a read goes wrong.
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "obhost.h"
#include "qxhost.h"

namespace {

double Seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

}  // namespace

int main(int argc, char** argv) {
    long count = argc > 1 ? std::atol(argv[1]) : 1000000;
    if (count < 1) count = 1;
    char pattern[] = "/tmp/qxhost_bench_XXXXXX";
    if (!::mkdtemp(pattern)) return 2;
    std::string dir = pattern;
    {
        FILE* f = std::fopen((dir + "/analysis.qxa").c_str(), "w");
        if (!f) return 2;
        std::fputs("ANALYSIS 1\nFILE BENCH\nITEM ID 5 UNIQUE\nITEM AMOUNT 9\nITEM LABEL 15 41\nITEM FLAGS 2 ARRAY 10\n", f);
        std::fclose(f);
    }
    char error[512];
    std::uint16_t ctx = QXHostOpen(dir.c_str(), 0, error, sizeof error);
    if (ctx == 0) {
        std::fprintf(stderr, "open: %s\n", error);
        return 2;
    }
    static HostRecordBlock block;
    std::vector<unsigned char> record(64, 0);
    auto start = std::chrono::steady_clock::now();
    // One transaction for the whole load: one sync at the end, not one per record.
    if (OTRANSACTION(ctx, OBHOST_TX_BEGIN) != 0) return 1;
    for (long i = 1; i <= count; ++i) {
        std::int32_t id = static_cast<std::int32_t>((i * 7919) % count);  // keys out of record order
        double amount = static_cast<double>(i) / 4;
        std::memcpy(record.data() + 1, &id, 4);
        std::memcpy(record.data() + 5, &amount, 8);
        std::snprintf(reinterpret_cast<char*>(record.data()) + 13, 41, "label %-34ld", i);
        block.recordAddress = reinterpret_cast<std::uintptr_t>(record.data());
        block.recordLength = 64;
        OECRIREENREG(ctx, "BENCH", 0, &block);
        if (block.status != 0) {
            std::fprintf(stderr, "write %ld: status %d\n", i, block.status);
            return 1;
        }
    }
    if (OTRANSACTION(ctx, OBHOST_TX_COMMIT) != 0) return 1;
    double writeTime = Seconds(start);
    std::printf("wrote %ld records in %.2f s (%.0f records/s)\n", count, writeTime, count / writeTime);

    std::vector<unsigned char> engineBuffer(64);
    double best = 0;
    long long checksum = 0;
    for (int pass = 0; pass < 3; ++pass) {
        start = std::chrono::steady_clock::now();
        for (std::int32_t n = 1;; ++n) {
            block.command = 'L';
            OLIREENREG(ctx, "BENCH", n, &block);
            if (block.status != 0) return 1;
            if (block.outOfFile) break;
            if (!block.found) continue;
            std::memcpy(engineBuffer.data(), reinterpret_cast<const void*>(static_cast<std::uintptr_t>(block.recordAddress)),
                        static_cast<std::size_t>(block.recordLength));
            checksum += engineBuffer[1];
        }
        double t = Seconds(start);
        double rate = count / t;
        if (rate > best) best = rate;
    }
    std::printf("read by number (L): %.1f million records/s (best of 3)\n", best / 1e6);

    start = std::chrono::steady_clock::now();
    long walked = 0;
    std::strcpy(block.keyName, "ID");
    for (block.command = 'P';; block.command = 'S') {
        OLIREENREG(ctx, "BENCH", 0, &block);
        if (block.status != 0) return 1;
        if (block.outOfFile) break;
        ++walked;
    }
    double keyTime = Seconds(start);
    std::printf("read in key order (P/S): %.1f million records/s\n", walked / keyTime / 1e6);
    QXHostClose(ctx);
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
    if (checksum < 0) std::printf("%lld\n", checksum);  // keeps the copy loop alive
    return walked == count ? 0 : 1;
}

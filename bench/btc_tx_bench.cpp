// Bitcoin-family transactions at the relay limit, through RunModule_BTC:
// "GenTx" and "GenUnsignedTx" of the largest legacy (P2PKH) and segwit
// (P2WPKH) transactions that btc nodes relay, and of the largest bch one,
// against the refusal of a transaction one input beyond each, and of 2000
// legacy inputs. The closing table gives the median wall time per request
// over the repetitions (lowest..highest).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <map>
#include <iterator>
#include <string>
#include <vector>

#include "command/text/text.h"
#include "tolvaris/bcm_core.h"
#include "tolvaris/bcm_hd.h"

extern "C" int RunModule_BTC(const char* action, const char* addon, const char* request, char** out);
extern "C" int FreeMem_BTC(char* text);

namespace {

const char kPri[] = "0x1f2e3d4c5b6a798897a6b5c4d3e2f100112233445566778899aabbccddeeff01";

// The compressed public key of kPri, and its HASH160.
std::string PublicKey() {
  const std::vector<unsigned char> pri = HexToBytes(kPri);
  unsigned char pub[33];
  int len = sizeof pub;
  BCMGenPubkeyFromPriKey(0, pri.data(), 32, pub, &len);
  return BytesToHex(pub, sizeof pub);
}

std::string KeyHash(const std::string& pubHex) {
  const std::vector<unsigned char> pub = HexToBytes(pubHex);
  unsigned char sha[32], rip[20];
  int len = sizeof sha;
  BCMGenHashMessage(1, pub.data(), static_cast<uint32_t>(pub.size()), sha, &len);
  len = sizeof rip;
  BCMGenHashMessage(3, sha, sizeof sha, rip, &len);
  return BytesToHex(rip, sizeof rip).substr(2);
}

// A transaction spending `inputs` outputs (each with the script `spent`,
// each signed for by `wallet`) to one output.
std::string Request(const char* action, const char* coin, const std::string& spent, const std::string& wallet,
                    int inputs) {
  std::string req = std::string(R"({"action":")") + action + R"(","args":{"coin":")" + coin + R"(","txinfo":{"input":[)";
  for (int i = 0; i < inputs; ++i) {
    unsigned char id[32] = {static_cast<unsigned char>(i), static_cast<unsigned char>(i >> 8), 0x5a};
    if (i != 0) req += ',';
    req += R"({"prehex":")" + BytesToHex(id, sizeof id) + R"(","preidx":"0","prevalue":"10000","prespub":")" +
           spent + R"(","wallet":)" + wallet + "}";
  }
  req += R"(],"output":[{"dest":"1BgGZ9tcN4rm9KBzDn7KprQz87SZ26SAMH","value":"9000"}]}}})";
  return req;
}

struct Case {
  const char* name;
  const char* action;
  const char* coin;
  bool segwit;
  int inputs;
  int rc;  // 0 signed, 1 refused
};

// The largest counts come from the size bound of each input kind: a P2PKH
// input is at most 148 bytes, a P2WPKH input 41 bytes and 108 witness bytes.
const Case kCases[] = {
    {"btc_legacy_674_GenTx", "GenTx", "btc", false, 674, 0},
    {"btc_legacy_674_GenUnsignedTx", "GenUnsignedTx", "btc", false, 674, 0},
    {"btc_legacy_675_refused", "GenTx", "btc", false, 675, 1},
    {"btc_legacy_2000_refused", "GenTx", "btc", false, 2000, 1},
    {"btc_p2wpkh_1469_GenTx", "GenTx", "btc", true, 1469, 0},
    {"btc_p2wpkh_1470_refused", "GenTx", "btc", true, 1470, 1},
    {"bch_legacy_675_GenTx", "GenTx", "bch", false, 675, 0},
    {"bch_legacy_676_refused", "GenTx", "bch", false, 676, 1},
};

void Run(benchmark::State& state, const Case& c, const std::string& request) {
  for (auto _ : state) {
    char* out = nullptr;
    const int rc = RunModule_BTC("x", "btc", request.c_str(), &out);
    if (rc != c.rc) {
      state.SkipWithError(out != nullptr ? out : "no reply");
    }
    FreeMem_BTC(out);
  }
}

// Keeps the wall time per request of every repetition for the closing table.
class TableReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& r : runs) {
      if (r.run_type == Run::RT_Iteration && r.iterations > 0)
        times_[r.run_name.function_name].push_back(r.GetAdjustedRealTime());
    }
    ConsoleReporter::ReportRuns(runs);
  }
  void PrintTable() const {
    std::printf("\nwall time per request, median of the repetitions (lowest..highest)\n");
    for (const Case& c : kCases) {
      auto it = times_.find(c.name);
      if (it == times_.end()) continue;
      std::vector<double> v = it->second;
      std::sort(v.begin(), v.end());
      const double median = v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
      std::printf("%-30s %10.2f ms (%.2f..%.2f)\n", c.name, median, v.front(), v.back());
    }
  }

 private:
  std::map<std::string, std::vector<double>> times_;
};

}  // namespace

int main(int argc, char** argv) {
  const std::string pub = PublicKey();
  const std::string hash = KeyHash(pub);
  const std::string p2pkh = "0x76a914" + hash + "88ac", p2wpkh = "0x0014" + hash;
  const std::string priWallet = R"({"pri":")" + std::string(kPri) + "\"}";
  const std::string pubWallet = R"({"pub":")" + pub + "\"}";
  static std::vector<std::string> requests;
  requests.reserve(std::size(kCases));
  for (const Case& c : kCases) {
    const bool oneStep = std::string(c.action) == "GenTx";
    requests.push_back(Request(c.action, c.coin, c.segwit ? p2wpkh : p2pkh, oneStep ? priWallet : pubWallet, c.inputs));
    const std::string& r = requests.back();
    benchmark::RegisterBenchmark(c.name, [&c, &r](benchmark::State& s) { Run(s, c, r); })
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime()
        ->Repetitions(5);
  }
  benchmark::Initialize(&argc, argv);
  TableReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintTable();
  benchmark::Shutdown();
  return 0;
}

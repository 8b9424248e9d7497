// Runs one road (a list of requests) once per N with the Nth allocation made
// inside the libraries failing, for every N the road allocates, and checks
// that running out of memory is never worse than an error:
//   - no run crashes, aborts or hangs;
//   - no request answers success (0) with a reply other than the one it gives
//     with memory enough;
//   - a request answers with no reply only when the failed allocation was the
//     reply buffer itself (the last allocation of that call, of the reply's
//     size), and then with a failure code (RunModule: 1212);
//   - every reply that is there, error replies included, is JSON.
// Prints one row: road (allocations) | error reply | null reply | success
// with wrong output | crash or abort | unchanged (the failure left every
// answer as it was, e.g. a buffer the C library can do without), and the
// runs that broke a rule below it. Exits 1 when any did.
//
//   alloc_fail_driver <road> <library> <requests> [--libpath DIR] [--jobs J] [--only N]
//
// <road> is "core" (RunModule/FreeMem of libtolvaris.so) or "addon:<tag>"
// (RunModule_<TAG>/FreeMem_<TAG> of quenmod-<tag>.so, called as the core
// calls them). The library is loaded with dlopen, as a Java host loads the
// core. --libpath replaces the "libpath" value of the requests ("AddModule").
// --only N runs that one N in this process and prints every reply (for a
// debugger). The allocation-failure shim must be preloaded (LD_PRELOAD).
//
// Each run is a process of its own, forked from this one. This process walks
// the road itself with memory enough and forks the runs whose failing
// allocation falls in request k just before it makes request k, so a run
// starts from exactly the state a whole run would have reached there and
// does not repeat the requests before it.
#include <dlfcn.h>
#include <fcntl.h>
#include <json/json.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace {

using ArmFn = void (*)(uint64_t);
using TargetFn = void (*)(uint64_t);
using CountOnFn = void (*)(int);
using CountFn = uint64_t (*)();
using FailedFn = int (*)(uint64_t*);
using CoreRunFn = int (*)(const char*, char**);
using AddonRunFn = int (*)(const char*, const char*, const char*, char**);
using FreeFn = int (*)(char*);

struct Shim {
  ArmFn arm;        // count from zero, fail the nth
  TargetFn target;  // fail the nth, count kept
  CountOnFn countOn;
  CountFn count;
  FailedFn failed;
};

struct Request {
  std::string text;
  std::string action;
  std::string addon;
};

struct Road {
  bool core = true;
  CoreRunFn coreRun = nullptr;
  AddonRunFn addonRun = nullptr;
  FreeFn freeText = nullptr;
  std::vector<Request> requests;
};

// What one request of one run gave.
struct Answer {
  int rc = 0;
  bool hasReply = false;
  std::string reply;
  uint64_t allocBefore = 0;  // counted allocations before and after the call
  uint64_t allocAfter = 0;
};

// The answers of requests first.. of one run.
struct RunResult {
  bool complete = false;
  size_t first = 0;
  std::vector<Answer> answers;
  bool failed = false;  // the armed allocation happened
  uint64_t failedSize = 0;
  uint64_t allocations = 0;
};

Shim g_shim;

[[noreturn]] void Die(const std::string& why) {
  std::fprintf(stderr, "alloc_fail_driver: %s\n", why.c_str());
  std::exit(2);
}

template <class F>
F Need(void* handle, const char* name) {
  void* p = dlsym(handle, name);
  if (p == nullptr) Die(std::string("no symbol ") + name + (handle == RTLD_DEFAULT ? " (is the shim preloaded?)" : ""));
  return reinterpret_cast<F>(p);
}

std::string Upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

// The "libpath" value of a request text replaced by `dir`, the rest kept
// byte for byte.
std::string WithLibPath(std::string text, const std::string& dir) {
  const std::string key = "\"libpath\":\"";
  size_t at = text.find(key);
  if (at == std::string::npos) return text;
  at += key.size();
  const size_t end = text.find('"', at);
  if (end == std::string::npos) return text;
  return text.replace(at, end - at, dir);
}

std::vector<Request> ReadRequests(const std::string& file, const std::string& libpath, const std::string& tag) {
  std::ifstream in(file);
  if (!in) Die("cannot read " + file);
  std::vector<Request> out;
  Json::CharReaderBuilder builder;
  for (std::string line; std::getline(in, line);) {
    if (line.find_first_not_of(" \t\r") == std::string::npos) continue;
    Request r;
    r.text = libpath.empty() ? line : WithLibPath(line, libpath);
    Json::Value root;
    std::string errors;
    std::istringstream lineIn(r.text);
    if (!Json::parseFromStream(builder, lineIn, &root, &errors)) Die("request is no JSON: " + line);
    r.action = root["action"].isString() ? root["action"].asString() : "";
    r.addon = root["addon"].isString() ? root["addon"].asString() : tag;
    out.push_back(std::move(r));
  }
  if (out.empty()) Die("no requests in " + file);
  return out;
}

// Makes request i with the count open around the library's calls only.
Answer Call(const Road& road, size_t i) {
  const Request& r = road.requests[i];
  Answer a;
  char* reply = nullptr;
  a.allocBefore = g_shim.count();
  g_shim.countOn(1);
  if (road.core) a.rc = road.coreRun(r.text.c_str(), &reply);
  else a.rc = road.addonRun(r.action.c_str(), r.addon.c_str(), r.text.c_str(), &reply);
  g_shim.countOn(0);
  a.allocAfter = g_shim.count();
  if (reply != nullptr) {
    a.hasReply = true;
    a.reply = reply;
    g_shim.countOn(1);
    road.freeText(reply);
    g_shim.countOn(0);
  }
  return a;
}

// Requests first.. with the count as it stands.
RunResult RunFrom(const Road& road, size_t first) {
  RunResult result;
  result.first = first;
  for (size_t i = first; i < road.requests.size(); ++i) result.answers.push_back(Call(road, i));
  result.failed = g_shim.failed(&result.failedSize) != 0;
  result.allocations = g_shim.count();
  g_shim.target(0);
  result.complete = true;
  return result;
}

// Results travel from a child through a file as lines of numbers, each
// reply as its length and its bytes.
void WriteAll(int fd, const std::string& s) {
  size_t done = 0;
  while (done < s.size()) {
    const ssize_t w = write(fd, s.data() + done, s.size() - done);
    if (w <= 0) _exit(3);
    done += static_cast<size_t>(w);
  }
}

void SaveResult(int fd, const RunResult& r) {
  std::string s = std::to_string(r.first) + " " + std::to_string(r.answers.size()) + " " + std::to_string(r.failed) +
                  " " + std::to_string(r.failedSize) + " " + std::to_string(r.allocations) + "\n";
  for (const Answer& a : r.answers) {
    s += std::to_string(a.rc) + " " + std::to_string(a.hasReply) + " " + std::to_string(a.allocBefore) + " " +
         std::to_string(a.allocAfter) + " " + std::to_string(a.reply.size()) + "\n";
    s += a.reply;
    s += "\n";
  }
  s += "end\n";
  WriteAll(fd, s);
}

RunResult LoadResult(int fd) {
  RunResult r;
  std::string s;
  lseek(fd, 0, SEEK_SET);
  char buf[65536];
  for (ssize_t n; (n = read(fd, buf, sizeof buf)) > 0;) s.append(buf, static_cast<size_t>(n));
  std::istringstream in(s);
  size_t count = 0;
  if (!(in >> r.first >> count >> r.failed >> r.failedSize >> r.allocations)) return r;
  for (size_t i = 0; i < count; ++i) {
    Answer a;
    size_t len = 0;
    if (!(in >> a.rc >> a.hasReply >> a.allocBefore >> a.allocAfter >> len)) return r;
    in.get();
    a.reply.resize(len);
    if (len > 0 && !in.read(a.reply.data(), static_cast<std::streamsize>(len))) return r;
    in.get();
    r.answers.push_back(std::move(a));
  }
  std::string end;
  in >> end;
  r.complete = end == "end";
  return r;
}

struct Outcome {
  RunResult result;
  bool crashed = false;
  std::string how;  // signal or exit status of a crashed run
};

// Up to `jobs` runs at a time, each a child that goes on from this process's
// state with the nth allocation armed to fail. Each outcome is handed to
// `done` as soon as its run ends and not kept: a fork copies this process,
// so it stays small.
class Runs {
 public:
  using Done = std::function<void(uint64_t target, const Outcome&)>;
  Runs(const Road& road, int jobs, Done done) : road_(road), jobs_(jobs), done_(std::move(done)) {}

  // Starts a run of requests first.. with allocation `target` failing
  // (0: none; with `fresh` the count starts again from zero).
  void Start(uint64_t target, size_t first, bool fresh) {
    while (static_cast<int>(running_.size()) >= jobs_) Reap();
    const int fd = memfd_create("alloc-run", 0);
    if (fd < 0) Die("memfd_create failed");
    std::fflush(nullptr);
    const pid_t pid = fork();
    if (pid < 0) Die("fork failed");
    if (pid == 0) {
      // The sample add-on prints reports: not into this program's output.
      const int null = open("/dev/null", O_WRONLY);
      if (null >= 0) {
        dup2(null, 1);
        dup2(null, 2);
      }
      alarm(120);  // a run that hangs counts as a crash
      if (fresh) g_shim.arm(target);
      else g_shim.target(target);
      SaveResult(fd, RunFrom(road_, first));
      std::fflush(nullptr);
      std::exit(0);
    }
    running_[pid] = {fd, target};
    ++started_;
  }

  void Finish() {
    while (!running_.empty()) Reap();
  }

  size_t started() const { return started_; }

 private:
  void Reap() {
    int status = 0;
    const pid_t pid = waitpid(-1, &status, 0);
    if (pid < 0) Die("waitpid failed");
    auto it = running_.find(pid);
    if (it == running_.end()) return;
    Outcome o;
    o.result = LoadResult(it->second.fd);
    close(it->second.fd);
    if (WIFSIGNALED(status)) {
      o.crashed = true;
      o.how = std::string("signal ") + strsignal(WTERMSIG(status));
    } else if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
      o.crashed = true;
      o.how = "exit status " + std::to_string(WEXITSTATUS(status));
    } else if (!o.result.complete) {
      o.crashed = true;
      o.how = "no complete result";
    }
    const uint64_t target = it->second.target;
    running_.erase(it);
    done_(target, o);
  }

  struct Child {
    int fd;
    uint64_t target;
  };
  const Road& road_;
  int jobs_;
  Done done_;
  std::map<pid_t, Child> running_;
  size_t started_ = 0;
};

bool IsJson(const std::string& text) {
  Json::CharReaderBuilder b;
  b["allowComments"] = false;
  b["strictRoot"] = true;
  b["failIfExtra"] = true;
  b["allowSpecialFloats"] = false;
  std::unique_ptr<Json::CharReader> reader(b.newCharReader());
  Json::Value v;
  return reader->parse(text.data(), text.data() + text.size(), &v, nullptr);
}

// A reply with random parts (fresh entropy, share mnemonics) compared by
// its shape: every run of letters and digits stands as one '#'.
std::string Shape(const std::string& text) {
  std::string out;
  bool inRun = false;
  for (char c : text) {
    const bool word = std::isalnum(static_cast<unsigned char>(c)) != 0;
    if (word && !inRun) out.push_back('#');
    if (!word) out.push_back(c);
    inRun = word;
  }
  return out;
}

// RunModule's code when it hands back no envelope.
constexpr int kCoreNoResult = 1212;

enum Category { kUnchanged, kErrorReply, kNullReply, kWrongSuccess, kCrash, kCategories };

struct Verdict {
  Category category = kUnchanged;
  std::vector<std::string> broken;  // rules broken, with the request
};

std::string Cut(const std::string& s, size_t n = 160) { return s.size() <= n ? s : s.substr(0, n) + "..."; }

Verdict Judge(const Road& road, const std::vector<Answer>& reference, const std::vector<bool>& random,
              uint64_t target, const Outcome& o) {
  Verdict v;
  auto worse = [&v](Category c) { v.category = std::max(v.category, c); };
  if (o.crashed) {
    worse(kCrash);
    v.broken.push_back(o.how);
    return v;
  }
  const RunResult& r = o.result;
  for (size_t j = 0; j < r.answers.size(); ++j) {
    const size_t i = r.first + j;
    const Answer& a = r.answers[j];
    const Answer& ref = reference[i];
    const std::string where = "request " + std::to_string(i + 1) + " (" + road.requests[i].action + ")";
    const bool same = a.hasReply && (random[i] ? Shape(a.reply) == Shape(ref.reply) : a.reply == ref.reply);
    if (a.rc == 0) {
      if (!same) {
        worse(kWrongSuccess);
        v.broken.push_back(where + ": success with " +
                           (a.hasReply ? "the reply " + Cut(a.reply) : std::string("no reply")));
      }
      continue;
    }
    if (!a.hasReply) {
      worse(kNullReply);
      // The reply buffer: the call's last allocation, of the reply's size.
      const bool last = r.failed && target > a.allocBefore && target == a.allocAfter;
      const bool replySize = random[i] || r.failedSize == ref.reply.size() + 1;
      if (!(last && replySize))
        v.broken.push_back(where + ": no reply, and the failed allocation (" + std::to_string(r.failedSize) +
                           " bytes) was not the reply buffer");
      // The core says so in its code; an add-on answers 1 for every failure.
      if (a.rc != (road.core ? kCoreNoResult : 1))
        v.broken.push_back(where + ": no reply with code " + std::to_string(a.rc));
      continue;
    }
    worse(kErrorReply);
    if (!IsJson(a.reply)) v.broken.push_back(where + ": an error reply that is no JSON: " + Cut(a.reply));
  }
  return v;
}

// Standard output set aside while this process walks the road (the sample
// add-on prints its reports there).
class QuietStdout {
 public:
  QuietStdout() : saved_(dup(1)) {
    std::fflush(stdout);
    const int null = open("/dev/null", O_WRONLY);
    if (null >= 0) {
      dup2(null, 1);
      close(null);
    }
  }
  ~QuietStdout() {
    std::fflush(stdout);
    if (saved_ >= 0) {
      dup2(saved_, 1);
      close(saved_);
    }
  }

 private:
  int saved_;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: %s core|addon:<tag> <library> <requests> [--libpath DIR] [--jobs J] [--only N]\n",
                 argv[0]);
    return 2;
  }
  const std::string roadName = argv[1];
  const std::string library = argv[2];
  const std::string file = argv[3];
  std::string libpath;
  int jobs = 4;
  std::optional<uint64_t> only;
  for (int i = 4; i + 1 < argc; i += 2) {
    const std::string opt = argv[i];
    if (opt == "--libpath") libpath = argv[i + 1];
    else if (opt == "--jobs") jobs = std::max(1, std::atoi(argv[i + 1]));
    else if (opt == "--only") only = std::strtoull(argv[i + 1], nullptr, 10);
    else Die("unknown option " + opt);
  }

  g_shim = {Need<ArmFn>(RTLD_DEFAULT, "tv_alloc_fail_arm"), Need<TargetFn>(RTLD_DEFAULT, "tv_alloc_fail_target"),
            Need<CountOnFn>(RTLD_DEFAULT, "tv_alloc_fail_count_on"), Need<CountFn>(RTLD_DEFAULT, "tv_alloc_fail_count"),
            Need<FailedFn>(RTLD_DEFAULT, "tv_alloc_fail_failed")};

  Road road;
  std::string tag;
  if (roadName.rfind("addon:", 0) == 0) {
    road.core = false;
    tag = roadName.substr(6);
  } else if (roadName != "core") {
    Die("unknown road " + roadName);
  }
  void* handle = dlopen(library.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) Die(std::string("cannot load ") + library + ": " + dlerror());
  if (road.core) {
    road.coreRun = Need<CoreRunFn>(handle, "RunModule");
    road.freeText = Need<FreeFn>(handle, "FreeMem");
  } else {
    road.addonRun = Need<AddonRunFn>(handle, ("RunModule_" + Upper(tag)).c_str());
    road.freeText = Need<FreeFn>(handle, ("FreeMem_" + Upper(tag)).c_str());
  }
  road.requests = ReadRequests(file, libpath, tag);

  if (only) {
    g_shim.arm(*only);
    const RunResult r = RunFrom(road, 0);
    for (size_t i = 0; i < r.answers.size(); ++i) {
      const Answer& a = r.answers[i];
      std::printf("%zu %s rc=%d allocations %llu..%llu %s\n", i + 1, road.requests[i].action.c_str(), a.rc,
                  static_cast<unsigned long long>(a.allocBefore), static_cast<unsigned long long>(a.allocAfter),
                  a.hasReply ? a.reply.c_str() : "(no reply)");
    }
    std::printf("allocations %llu, the armed one %s (%llu bytes)\n", static_cast<unsigned long long>(r.allocations),
                r.failed ? "failed" : "was not reached", static_cast<unsigned long long>(r.failedSize));
    return 0;
  }

  const auto start = std::chrono::steady_clock::now();
  // Two whole runs with memory enough: the reference, and which replies
  // differ from run to run.
  std::vector<Outcome> refs;
  for (int i = 0; i < 2; ++i) {
    Runs ref(road, 1, [&refs](uint64_t, const Outcome& o) { refs.push_back(o); });
    ref.Start(0, 0, true);
    ref.Finish();
    if (refs.back().crashed) Die("the road crashes with memory enough: " + refs.back().how);
  }
  const std::vector<Answer>& reference = refs[0].result.answers;
  std::vector<bool> random(reference.size());
  for (size_t i = 0; i < reference.size(); ++i) {
    if (reference[i].rc != 0 || !reference[i].hasReply)
      Die("request " + std::to_string(i + 1) + " fails with memory enough: " + Cut(reference[i].reply));
    random[i] = reference[i].reply != refs[1].result.answers[i].reply;
  }
  const uint64_t total = refs[0].result.allocations;

  // The walk: before request k, the runs whose failing allocation is one of
  // the allocations request k made in the reference.
  uint64_t counts[kCategories] = {};
  std::map<uint64_t, std::vector<std::string>> broken;
  std::vector<uint64_t> unchanged;  // runs the failed allocation did not touch
  Runs runs(road, jobs, [&](uint64_t n, const Outcome& o) {
    Verdict v = Judge(road, reference, random, n, o);
    ++counts[v.category];
    if (v.category == kUnchanged) unchanged.push_back(n);
    if (!v.broken.empty()) broken[n] = std::move(v.broken);
  });
  {
    const QuietStdout quiet;
    g_shim.arm(0);
    for (size_t k = 0; k < road.requests.size(); ++k) {
      const uint64_t before = g_shim.count();
      const uint64_t made = reference[k].allocAfter - reference[k].allocBefore;
      for (uint64_t n = before + 1; n <= before + made; ++n) runs.Start(n, k, false);
      Call(road, k);
    }
  }
  runs.Finish();

  const double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

  const std::string label = road.core ? "core" : tag;
  std::printf("| road (allocations) | error reply | null reply, rc 1 | rc 0, output wrong | crash or abort |");
  std::printf(" unchanged |\n|---|---|---|---|---|---|\n");
  std::printf("| %s %s (%llu) | %llu | %llu | %llu | %llu | %llu |\n", label.c_str(),
              file.substr(file.find_last_of('/') + 1).c_str(), static_cast<unsigned long long>(total),
              static_cast<unsigned long long>(counts[kErrorReply]), static_cast<unsigned long long>(counts[kNullReply]),
              static_cast<unsigned long long>(counts[kWrongSuccess]), static_cast<unsigned long long>(counts[kCrash]),
              static_cast<unsigned long long>(counts[kUnchanged]));
  std::printf("%zu requests, %zu runs in %.1f s (%d at a time)\n", road.requests.size(), runs.started(), secs, jobs);
  if (!unchanged.empty()) {
    std::sort(unchanged.begin(), unchanged.end());
    std::printf("unchanged by the failure: N =");
    for (size_t i = 0; i < unchanged.size() && i < 40; ++i)
      std::printf(" %llu", static_cast<unsigned long long>(unchanged[i]));
    std::printf(unchanged.size() > 40 ? " ...\n" : "\n");
  }
  size_t shown = 0;
  for (const auto& [n, why] : broken)
    for (const std::string& b : why)
      if (shown++ < 40) std::printf("  N=%llu: %s\n", static_cast<unsigned long long>(n), b.c_str());
  if (shown > 40) std::printf("  ... and %zu more\n", shown - 40);
  return broken.empty() ? 0 : 1;
}

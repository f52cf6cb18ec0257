// The parts of ecr-sim's serving loop that every platform shares.
#include "sim/host/host.h"

#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>

#include "platform/utf8_names.h"
#include "sim/model/state_file.h"
#include "sim/wire/control.h"

namespace molvex::sim {

bool ParseClockOption(const std::string& text, std::optional<LocalDateTime>& fixed) {
  if (text == "system") {
    fixed.reset();
    return true;
  }
  LocalDateTime t{};
  char tail = 0;
  if (std::sscanf(text.c_str(), "fixed:%4d-%2d-%2dT%2d:%2d%c", &t.year, &t.month, &t.day, &t.hour,
                  &t.minute, &tail) != 5) {
    return false;
  }
  if (t.year < 2000 || t.year > 2099 || t.month < 1 || t.month > 12 || t.day < 1 || t.day > 31 ||
      t.hour > 23 || t.minute > 59 || t.hour < 0 || t.minute < 0) {
    return false;
  }
  fixed = t;
  return true;
}

bool PreparePrinter(VirtualPrinter& printer, const HostOptions& options) {
  Device& device = printer.device();
  device.SetFixedTime(options.fixed_clock);
  if (!options.state.empty()) {
    std::ifstream exists(Utf8Path(options.state));
    if (exists && !LoadState(device.state(), options.state)) {
      std::fprintf(stderr, "ecr-sim: %s is not a state file of this printer\n",
                   options.state.c_str());
      return false;
    }
    const std::string path = options.state;
    device.SetStateChanged([&device, path] {
      if (!SaveState(device.state(), path)) {
        std::fprintf(stderr, "ecr-sim: cannot write %s\n", path.c_str());
      }
    });
  }
  for (const std::string& article : options.articles) {
    const std::string problem = KeyInArticle(device, article);
    if (!problem.empty()) {
      std::fprintf(stderr, "ecr-sim: --article %s: %s\n", article.c_str(), problem.c_str());
      return false;
    }
  }
  const std::string paper = options.paper;
  const bool show = options.show;
  device.SetPaperSink([paper, show](const std::string& text) {
    if (!paper.empty()) {
      std::ofstream out(Utf8Path(paper), std::ios::binary | std::ios::app);
      out << text;
    }
    if (show) {
      std::fwrite(text.data(), 1, text.size(), stdout);
      std::fflush(stdout);
    }
  });
  return true;
}

// How often the control file is looked at while no bytes come from the host.
constexpr std::int64_t kControlLookNs = 50'000'000;

ControlFile::ControlFile(std::string path) : path_(std::move(path)) {
  if (!path_.empty()) std::ofstream(Utf8Path(path_), std::ios::trunc);  // start empty
}

void ControlFile::Poll(VirtualPrinter& printer, std::int64_t now_ns, bool bytes_came) {
  if (path_.empty() || (!bytes_came && now_ns < next_look_ns_)) return;
  next_look_ns_ = now_ns + kControlLookNs;
  std::ifstream in(Utf8Path(path_), std::ios::binary);
  if (!in) return;
  in.seekg(0, std::ios::end);
  const std::streamoff size = in.tellg();
  if (size < offset_) offset_ = 0;  // truncated: read again from the start
  if (size == offset_) return;
  in.seekg(offset_);
  std::string chunk(static_cast<std::size_t>(size - offset_), '\0');
  in.read(chunk.data(), static_cast<std::streamsize>(chunk.size()));
  chunk.resize(static_cast<std::size_t>(in.gcount()));
  pending_ += chunk;
  offset_ += static_cast<std::streamoff>(chunk.size());
  std::size_t nl;
  while ((nl = pending_.find('\n')) != std::string::npos) {
    const std::string line = pending_.substr(0, nl);
    pending_.erase(0, nl + 1);
    const std::string problem = ApplyControl(printer, line);
    std::fprintf(stderr, "ecr-sim: control \"%s\"%s%s\n", line.c_str(), problem.empty() ? "" : ": ",
                 problem.c_str());
    if (line.rfind("stats", 0) == 0) {
      std::fprintf(stderr, "ecr-sim: %llu bytes in, %llu bytes out, %zu requests\n",
                   static_cast<unsigned long long>(printer.bytes_in()),
                   static_cast<unsigned long long>(printer.bytes_out()), printer.requests().size());
    }
  }
  if (pending_.size() > 4096) pending_.clear();  // no line end in sight: drop it
}

std::int64_t HostNowNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

std::int64_t WaitNs(const VirtualPrinter& printer, std::int64_t now_ns) {
  const std::int64_t due = printer.NextDueNs();
  if (due == kNever) return kControlLookNs;
  const std::int64_t ns = due <= now_ns ? 0 : due - now_ns;
  return ns < kControlLookNs ? ns : kControlLookNs;
}

int WaitMs(const VirtualPrinter& printer, std::int64_t now_ns) {
  return static_cast<int>((WaitNs(printer, now_ns) + 999'999) / 1'000'000);
}

void TakeDue(VirtualPrinter& printer, std::int64_t now_ns, std::vector<std::uint8_t>& out) {
  out.clear();
  std::uint8_t b = 0;
  while (printer.Take(now_ns, b)) out.push_back(b);
}

void AnnounceListening(const std::string& where, const HostOptions& options) {
  const std::string wire =
      options.baud > 0 ? "wire at " + std::to_string(options.baud) + " baud" : "no wire model";
  std::printf("ecr-sim: listening on %s (busy scale %g, %s)\n", where.c_str(), options.busy_scale,
              wire.c_str());
  std::fflush(stdout);
}

void AnnounceStopped(const VirtualPrinter& printer) {
  std::fprintf(stderr, "ecr-sim: stopped (%llu bytes in, %llu bytes out)\n",
               static_cast<unsigned long long>(printer.bytes_in()),
               static_cast<unsigned long long>(printer.bytes_out()));
}

}  // namespace molvex::sim

// velloran-cli upgrade --check: everything an upgrade does up to its first
// frame, and nothing sent: the image read (summary, SHA-256), each port
// chosen and opened the way its procedure will open it, and per printer
// "ready" or the exact reason, with the expected duration.
#include <algorithm>
#include <chrono>

#include "commands.h"
#include "image_facts.h"
#include "json_output.h"
#include "printable_text.h"
#include "printer_target.h"
#include "upgrade_record.h"
#include "upgrade_target.h"

namespace velloran::cli {
namespace {

struct TargetReadiness {
  std::string target, port, node;
  std::optional<Message> problem;  // nullopt: ready
  bool badUsage = false;           // the value itself is malformed
};

TargetReadiness CheckOne(const CliOptions &options) {
  TargetReadiness readiness;
  UsedPort used;
  // Until a port is found, the printer is named as given (or by its link).
  readiness.target = options.port.value_or(LinkName(options.link));
  if (const std::optional<PortRefusal> refusal = ChooseTarget(options, used)) {
    readiness.problem = refusal->message;
    readiness.badUsage = refusal->status == kExitUsage;
    readiness.port = readiness.target;
    return readiness;
  }
  readiness.target = used.id;
  readiness.port = used.name;
  readiness.node = used.node;
  readiness.problem = CheckPort(used);
  return readiness;
}

// One CliOptions per printer: each with its one --port.
std::vector<CliOptions> TargetsOf(const CliOptions &options) {
  const std::vector<std::string> ports = options.all ? UpgradableUsbPrinterIds() : options.ports;
  if (ports.size() <= 1 && !options.all) return {options};
  std::vector<CliOptions> targets;
  for (const std::string &port : ports) {
    CliOptions one = options;
    one.port = port;
    one.ports = {port};
    targets.push_back(std::move(one));
  }
  return targets;
}

}  // namespace

int RunCheck(const CliOptions &options, ConsoleReporter &reporter, std::ostream &out, const OutputSettings &settings) {
  const auto start = std::chrono::steady_clock::now();
  const auto elapsedMs = [&] {
    return static_cast<long long>(
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
  };
  const ImageLoadResult loaded = LoadImageFile(options.image);
  std::optional<ImageFacts> facts;
  if (loaded.ok()) facts = FactsOf(options.image, loaded.image);
  const std::vector<CliOptions> targets = TargetsOf(options);
  std::vector<TargetReadiness> checked;
  for (const CliOptions &target : targets) checked.push_back(CheckOne(target));
  std::vector<std::string> values, ids, nodes;
  for (size_t i = 0; i < checked.size(); ++i) {
    values.push_back(targets[i].port.value_or("")), ids.push_back(checked[i].target), nodes.push_back(checked[i].node);
  }
  if (const std::optional<Message> twice = SamePrinterTwice(values, ids, nodes)) {
    reporter.ReportError(*twice);
    reporter.ReportResult(false, "bad_usage");
    return kExitUsage;
  }
  if (checked.size() == 1) reporter.SetTarget(checked.front().target);
  reporter.BeginUpgrade(options.link, "", facts);
  const ExpectedDuration expected = ExpectedUpgradeDuration(options.link, facts ? facts->size : 0);
  // What keeps every printer from its upgrade: the image, or a service
  // record that cannot be kept (checked as the upgrade checks it).
  std::optional<Message> sharedProblem;
  if (!loaded.ok()) sharedProblem = ProcedureMessage(*loaded.error);
  if (!sharedProblem && options.record) sharedProblem = RecordRefusal(*options.record);

  int ready = 0;
  bool badUsage = false;
  for (TargetReadiness &readiness : checked) {
    badUsage = badUsage || readiness.badUsage;
    if (!readiness.problem && sharedProblem) readiness.problem = sharedProblem;
    const bool isReady = !readiness.problem;
    ready += isReady ? 1 : 0;
    const Message line =
        isReady ? CliMessage("check_target_ready", {{"target", PrintableText(readiness.target)},
                                                    {"seconds", SecondsText(expected.lowMs)},
                                                    {"high", SecondsText(expected.highMs)}})
                : CliMessage("check_target_not_ready",
                             {{"target", PrintableText(readiness.target)}, {"reason", *readiness.problem}});
    if (settings.json) {
      Json event;
      event["event"] = "check";
      event["phase"] = "prepare";
      event["target"] = JsonText(readiness.target);
      event["port"] = JsonText(readiness.port);
      event["node"] = JsonText(readiness.node);
      event["ready"] = isReady;
      event["id"] = isReady ? std::string("port_ready") : readiness.problem->id;
      event["reason"] = isReady ? Json(nullptr) : Json(readiness.problem->id);
      event["text"] = JsonText(isReady ? line.zh : readiness.problem->zh);
      event["en"] = JsonText(isReady ? line.en : readiness.problem->en);
      event["expected_ms"] = static_cast<long long>(expected.lowMs);
      event["expected_max_ms"] = static_cast<long long>(expected.highMs);
      event["elapsed_ms"] = elapsedMs();
      out << JsonLine(event) << "\n";
    } else if (settings.verbosity != Verbosity::kQuiet || !isReady) {
      out << line.In(settings.language) << "\n";
    }
    out.flush();
  }
  const int count = static_cast<int>(targets.size());
  const bool allReady = ready == count && count > 0;
  const Message closing = CliMessage(allReady ? "check_ready" : "check_not_ready",
                                     {{"ready", std::to_string(ready)}, {"targets", std::to_string(count)}});
  if (settings.json) {
    Json event = MessageEvent("result", "prepare", closing);
    event["ok"] = allReady;
    event["reason"] = allReady ? Json(nullptr) : Json("not_ready");
    event["ready"] = ready;
    event["targets"] = count;
    event["bytes_sent"] = 0;
    event["bytes_total"] = facts ? facts->bytesTotal() : 0;
    event["duration_ms"] = elapsedMs();
    event["elapsed_ms"] = elapsedMs();
    if (!allReady) {
      // Like every failing result: the printers' state, which nothing changed.
      event["printer"] = "unchanged";
      event["packet"] = 0;
    }
    if (count == 1) event["target"] = JsonText(checked.front().target);
    out << JsonLine(event) << "\n";
  } else {
    out << closing.In(settings.language) << "\n";
  }
  out.flush();
  return allReady ? kExitOk : badUsage ? kExitUsage : kExitFailed;
}

}  // namespace velloran::cli

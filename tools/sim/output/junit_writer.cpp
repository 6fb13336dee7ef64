#include "sim/output/junit_writer.hpp"

#include <tinyxml2.h>

#include <fmt/format.h>

#include "sim/output/output_folder.hpp"

namespace sim {

void writeJUnit(const std::filesystem::path& file, const std::string& suiteName,
                const std::vector<JUnitCase>& cases) {
  int failures = 0;
  double seconds = 0.0;
  for (const JUnitCase& c : cases) {
    failures += c.failure.empty() ? 0 : 1;
    seconds += c.seconds;
  }
  const auto tests = static_cast<int>(cases.size());
  const std::string totalTime = fmt::format("{:.3f}", seconds);

  tinyxml2::XMLDocument document;
  document.InsertEndChild(document.NewDeclaration());
  tinyxml2::XMLElement* all = document.NewElement("testsuites");
  document.InsertEndChild(all);
  all->SetAttribute("name", "trelvo-sim");
  all->SetAttribute("tests", tests);
  all->SetAttribute("failures", failures);
  all->SetAttribute("errors", 0);
  all->SetAttribute("time", totalTime.c_str());
  tinyxml2::XMLElement* suite = all->InsertNewChildElement("testsuite");
  suite->SetAttribute("name", suiteName.c_str());
  suite->SetAttribute("tests", tests);
  suite->SetAttribute("failures", failures);
  suite->SetAttribute("errors", 0);
  suite->SetAttribute("skipped", 0);
  suite->SetAttribute("time", totalTime.c_str());
  for (const JUnitCase& c : cases) {
    tinyxml2::XMLElement* test = suite->InsertNewChildElement("testcase");
    test->SetAttribute("classname", suiteName.c_str());
    test->SetAttribute("name", c.name.c_str());
    test->SetAttribute("time", fmt::format("{:.3f}", c.seconds).c_str());
    if (c.failure.empty()) {
      test->InsertNewChildElement("system-out")->SetText(c.details.c_str());
    } else {
      tinyxml2::XMLElement* failure = test->InsertNewChildElement("failure");
      failure->SetAttribute("message", c.failure.c_str());
      failure->SetAttribute("type", "failure");
      failure->SetText(c.details.c_str());
    }
  }

  tinyxml2::XMLPrinter printer;
  document.Print(&printer);
  PendingFile pending(file);
  pending.stream().write(printer.CStr(), printer.CStrSize() - 1);
  pending.commit();
}

}  // namespace sim

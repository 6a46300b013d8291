// The keys of a scenario file, each with its form, a line on what it sets,
// and how it is read into a setup and written from one; and the rules that
// join keys. The reader, the writer, the names of the setup's enums, the
// schema and the README's list of keys all come from here.
#ifndef BOARDCFG_SIM_SCENARIO_SCENARIO_KEYS_H
#define BOARDCFG_SIM_SCENARIO_SCENARIO_KEYS_H

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "sim/scenario/board_setup.h"
#include "sim/scenario/value_form.h"

namespace sim::scenario {

// A scenario while it is read: the service lists become its steps once
// every key is read.
struct Reading {
  BoardSetup setup;
  std::optional<std::vector<OutsideService>> services;
  std::optional<std::vector<OutsideService>> preinstalled;
};

struct Key {
  std::string name;
  std::string description;
  Form form;
  // Takes a value that passed the form's check; none: the key is ignored.
  std::function<void(const json &, Reading &)> read;
  // The setup's value in the file's form, null for none; no writer: the
  // key is not written (the steps stand for it).
  std::function<ordered_json(const BoardSetup &)> write;
};

const std::vector<Key> &Keys();
// The key that names the file's schema.
extern const char kSchemaKey[];
// Keys that other programs' messages name.
extern const char kP2sbBusyReadsKey[];
extern const char kReadsZeroKey[];

// Checks the rules between keys once each key is read, and completes the
// reading's steps.
void CheckAcrossKeys(const json &file, Reading &reading);
// The same rules as schema keywords of the file's object.
ordered_json AcrossKeysSchema();

}  // namespace sim::scenario

#endif

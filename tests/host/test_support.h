// Helpers for the host tests: a temporary directory per test, a fake
// importer that serves scenes built in code, and scene-building shorthands.
#ifndef KIN_TESTS_HOST_TEST_SUPPORT_H_
#define KIN_TESTS_HOST_TEST_SUPPORT_H_

#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <thread>

#include "host/importer.h"
#include "host/source_scene.h"

namespace kin::host::testing {

// A directory made for one test and removed with everything in it at the
// end; only ever a fresh mkdtemp directory.
class TempDir {
 public:
  TempDir() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "kin-host-XXXXXX").string();
    if (mkdtemp(pattern.data()) != nullptr) path_ = pattern;
  }
  ~TempDir() {
    std::error_code error;
    if (!path_.empty()) std::filesystem::remove_all(path_, error);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const {
    return path_ + "/" + name;
  }
  // Writes `text` to `name` inside the directory; returns the path.
  std::string Write(const std::string& name, const std::string& text) const {
    const std::string file = *this / name;
    std::ofstream(file, std::ios::binary) << text;
    return file;
  }

 private:
  std::string path_;
};

// Serves a fixed scene (or failure) per file name (the path's last part);
// unknown names fail to import. `beforeImport` runs first when set.
class FakeImporter : public Importer {
 public:
  ImportResult Import(const std::string& path) const override {
    if (beforeImport) beforeImport(path);
    const std::string name = std::filesystem::path(path).filename().string();
    const auto found = results.find(name);
    if (found != results.end()) return found->second;
    ImportResult failed;
    failed.error = "fake importer knows no '" + name + "'";
    return failed;
  }

  void Add(const std::string& name, const SourceScene& scene) {
    ImportResult result;
    result.ok = true;
    result.scene = scene;
    results[name] = result;
  }

  std::map<std::string, ImportResult> results;
  std::function<void(const std::string&)> beforeImport;
};

inline Quat AxisAngle(double x, double y, double z, double degrees) {
  const double half = degrees * M_PI / 360;
  const double s = std::sin(half);
  return {std::cos(half), x * s, y * s, z * s};
}

// Adds a node; returns its index.
inline int AddNode(SourceScene* scene, const std::string& name, int parent,
                   Vec3 position = {}, Quat rotation = {}) {
  SourceNode node;
  node.name = name;
  node.parent = parent;
  node.position = position;
  node.rotation = rotation;
  scene->nodes.push_back(node);
  return static_cast<int>(scene->nodes.size()) - 1;
}

// A channel on `node` with two position keys from `from` to `to` over
// `seconds`, and a constant rotation key.
inline SourceChannel MovingChannel(int node, Vec3 from, Vec3 to,
                                   double seconds) {
  SourceChannel channel;
  channel.node = node;
  channel.positions = {{0, from}, {seconds, to}};
  channel.rotations = {{0, Quat{}}};
  return channel;
}

// A small walking rig: Hips > Spine > Head (> EndSite_Head), Hips > Leg;
// every joint animated over one second; Hips moves 0 to (10, 0, 0).
inline SourceScene WalkScene() {
  SourceScene scene;
  const int hips = AddNode(&scene, "Hips", -1);
  const int spine = AddNode(&scene, "Spine", hips, {0, 1, 0});
  const int head = AddNode(&scene, "Head", spine, {0, 1, 0});
  AddNode(&scene, "EndSite_Head", head, {0, 0.5, 0});
  const int leg = AddNode(&scene, "Leg", hips, {0, -1, 0});
  SourceAnimation animation;
  animation.name = "walk";
  animation.durationSeconds = 1;
  animation.ticksPerSecond = 30;
  animation.channels.push_back(MovingChannel(hips, {0, 0, 0}, {10, 0, 0}, 1));
  for (int node : {spine, head, leg}) {
    SourceChannel channel;
    channel.node = node;
    channel.rotations = {{0, Quat{}}, {1, AxisAngle(0, 0, 1, 90)}};
    animation.channels.push_back(channel);
  }
  scene.animations.push_back(animation);
  scene.frameRate = 30;
  return scene;
}

// Polls `done` until it holds or ten seconds pass; returns whether it held.
inline bool WaitFor(const std::function<bool()>& done) {
  const auto limit =
      std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!done()) {
    if (std::chrono::steady_clock::now() > limit) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}

}  // namespace kin::host::testing

#endif  // KIN_TESTS_HOST_TEST_SUPPORT_H_

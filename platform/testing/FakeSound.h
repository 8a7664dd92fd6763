// Test double of the sound player: records every sound played and plays nothing.
// Installs itself while it lives.
#pragma once
#include <vector>

#include "platform/SoundPlayer.h"

namespace plat::testing {

class FakeSound : public SoundPlayer {
 public:
  struct Played {
    std::vector<BYTE> wav;
    bool async;
  };
  FakeSound() { previous_ = InstallSoundPlayer(this); }
  ~FakeSound() override { InstallSoundPlayer(previous_); }
  FakeSound(const FakeSound&) = delete;
  FakeSound& operator=(const FakeSound&) = delete;

  void Play(const std::vector<BYTE>& wav, bool async) override { played.push_back({wav, async}); }

  std::vector<Played> played;

 private:
  SoundPlayer* previous_ = nullptr;
};

}  // namespace plat::testing

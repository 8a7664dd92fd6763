#include "platform/SoundPlayer.h"

#include <atomic>

namespace plat {
namespace {

class SilentPlayer final : public SoundPlayer {
 public:
  void Play(const std::vector<BYTE>&, bool) override {}
};

SilentPlayer g_silent;
std::atomic<SoundPlayer*> g_player{nullptr};

}  // namespace

SoundPlayer& GetSoundPlayer() {
  SoundPlayer* p = g_player.load();
  return p ? *p : g_silent;
}

SoundPlayer* InstallSoundPlayer(SoundPlayer* player) { return g_player.exchange(player); }

}  // namespace plat

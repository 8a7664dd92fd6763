// Playing a whole ".wav" file held in memory (sndPlaySound with SND_MEMORY). With no
// audio device, or when nothing is installed, playing does nothing and says nothing.
#pragma once
#include <vector>

#include "platform/WinTypes.h"

namespace plat {

class SoundPlayer {
 public:
  virtual ~SoundPlayer() = default;
  // Synchronous play returns when the sound has ended; asynchronous play keeps its own
  // copy and returns at once. Empty data plays nothing.
  virtual void Play(const std::vector<BYTE>& wav, bool async) = 0;
};

SoundPlayer& GetSoundPlayer();
SoundPlayer* InstallSoundPlayer(SoundPlayer* player);  // nullptr restores the silent one

}  // namespace plat

// Where the audio render loop shows the picture that travels with the audio.
#pragma once

#include "media/picture_record.h"

namespace kx {

class IPicturePresenter {
 public:
  virtual ~IPicturePresenter() = default;
  // Called on the audio render thread with the audio output's client lock
  // held, for records with a picture only. The implementation takes its own
  // drawing lock and must not call back into CAudioOutput.
  virtual void PresentPicture(const PictureRecord& picture) = 0;
};

}  // namespace kx

// Where the audio render loop shows the picture that travels with the audio.
#pragma once

#include "media/picture_record.h"

namespace kx {

class IPicturePresenter {
 public:
  virtual ~IPicturePresenter() = default;
  // Called on the audio render thread with the audio output's client lock
  // held, for records with a picture only, once per picture (a record is
  // passed on only when its generation is newer than the last one's). The
  // record shares its pixels: keep it rather than copy them. The
  // implementation takes its own drawing lock and must not call back into
  // CAudioOutput.
  virtual void PresentPicture(const PictureRecord& picture) = 0;
};

}  // namespace kx

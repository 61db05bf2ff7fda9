// A validation module whose GetMediaValidatorControl fails.
#include "validation/MediaValidatorContract.h"

extern "C" __attribute__((visibility("default"))) tessaro::HRESULT GetMediaValidatorControl(
    tessaro::IMediaValidatorControl** control) {
  if (control != nullptr) *control = nullptr;
  return tessaro::kHResultFail;
}

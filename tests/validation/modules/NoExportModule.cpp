// A library that is not a validation module: it lacks GetMediaValidatorControl.
extern "C" __attribute__((visibility("default"))) int NotAValidator() { return 4; }

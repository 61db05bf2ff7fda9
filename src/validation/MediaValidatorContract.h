// The contract between the program and a media validation module: a shared
// library that exports the C function GetMediaValidatorControl and answers
// through component-object style interfaces. Every interface is a class of
// pure virtual functions whose first three slots are QueryInterface, AddRef
// and Release, so that the slot numbers below are the vtable slots; results
// are 32-bit status codes, negative meaning failure. Interfaces carry no
// virtual destructor (it would take vtable slots): an object frees itself on
// its last Release.
//
// Strings: names and messages cross as zero-terminated wide strings owned by
// the side that passes them (a name stays valid while the control object
// lives; a message only during the call); file names as zero-terminated
// 8-bit strings.
#pragma once

#include <cstdint>

namespace tessaro {

using HRESULT = int32_t;

inline constexpr HRESULT kHResultOk = 0;
inline constexpr HRESULT kHResultNotImplemented = static_cast<HRESULT>(0x80004001u);
inline constexpr HRESULT kHResultNoInterface = static_cast<HRESULT>(0x80004002u);
inline constexpr HRESULT kHResultPointer = static_cast<HRESULT>(0x80004003u);
inline constexpr HRESULT kHResultFail = static_cast<HRESULT>(0x80004005u);

inline constexpr bool Succeeded(HRESULT result) { return result >= 0; }

// A 128-bit interface id, laid out as the platform's GUID.
struct TGUID {
  uint32_t Data1;
  uint16_t Data2;
  uint16_t Data3;
  uint8_t Data4[8];

  friend constexpr bool operator==(const TGUID& a, const TGUID& b) {
    if (a.Data1 != b.Data1 || a.Data2 != b.Data2 || a.Data3 != b.Data3) return false;
    for (int i = 0; i < 8; ++i)
      if (a.Data4[i] != b.Data4[i]) return false;
    return true;
  }
};

// {00000000-0000-0000-C000-000000000046}
inline constexpr TGUID IID_IUnknown{0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
// {91B71D29-87C8-40D3-B083-88C549F29B81}
inline constexpr TGUID IID_IMediaValidatorControl{
    0x91B71D29, 0x87C8, 0x40D3, {0xB0, 0x83, 0x88, 0xC5, 0x49, 0xF2, 0x9B, 0x81}};
// {890065C3-2750-4DC2-B475-78C51D550276}
inline constexpr TGUID IID_IMediaValidatorReportSource{
    0x890065C3, 0x2750, 0x4DC2, {0xB4, 0x75, 0x78, 0xC5, 0x1D, 0x55, 0x02, 0x76}};
// {11F043FC-99FA-4746-AB2D-2069113C714A}
inline constexpr TGUID IID_IMediaValidatorExtra{
    0x11F043FC, 0x99FA, 0x4746, {0xAB, 0x2D, 0x20, 0x69, 0x11, 0x3C, 0x71, 0x4A}};
// {A02ED748-341A-4D36-BFC4-DA8A5A262860}
inline constexpr TGUID IID_IMediaValidatorReportSink{
    0xA02ED748, 0x341A, 0x4D36, {0xBF, 0xC4, 0xDA, 0x8A, 0x5A, 0x26, 0x28, 0x60}};
// {4F0302AE-0590-471E-AFDB-2DC80DA376F9}
inline constexpr TGUID IID_IMediaValidatorRunState{
    0x4F0302AE, 0x0590, 0x471E, {0xAF, 0xDB, 0x2D, 0xC8, 0x0D, 0xA3, 0x76, 0xF9}};

class IUnknown {
 public:
  virtual HRESULT QueryInterface(const TGUID& iid, void** object) = 0;  // slot 0
  virtual uint32_t AddRef() = 0;                                        // slot 1
  virtual uint32_t Release() = 0;                                       // slot 2

 protected:
  ~IUnknown() = default;
};

// Implemented by the program: findings come in here, from any thread of the
// module, at any time between Start and the end of the run.
class IMediaValidatorReportSink : public IUnknown {
 public:
  virtual HRESULT Report(int32_t moduleId, int32_t reportType, const wchar_t* message) = 0;  // slot 3

 protected:
  ~IMediaValidatorReportSink() = default;
};

// What the exported function hands out.
class IMediaValidatorControl : public IUnknown {
 public:
  virtual HRESULT GetValidatorName(const wchar_t** name) = 0;  // slot 3: the display name
  virtual HRESULT SetMediaFile(const char* fileName) = 0;      // slot 4: prepare to validate the file
  virtual HRESULT ReleaseMediaFile() = 0;                      // slot 5: let go of the file after a stop
  virtual HRESULT ReservedSlot6() = 0;                         // slot 6: never called
  virtual HRESULT ReservedSlot7() = 0;                         // slot 7: never called
  virtual HRESULT Start() = 0;                                 // slot 8: the module works on by itself
  virtual HRESULT Stop() = 0;                                  // slot 9
  virtual HRESULT GetProgress(double* percent) = 0;            // slot 10: 100 when finished
  virtual HRESULT ShowSettings(intptr_t ownerWindow) = 0;      // slot 11: the module's own dialog (owner 0)

 protected:
  ~IMediaValidatorControl() = default;
};

// Obtained from the control interface by its id.
class IMediaValidatorReportSource : public IUnknown {
 public:
  virtual HRESULT SetReportSink(IMediaValidatorReportSink* sink) = 0;  // slot 3

 protected:
  ~IMediaValidatorReportSource() = default;
};

// Obtained and held while the module is loaded; none of its methods is called.
class IMediaValidatorExtra : public IUnknown {
 protected:
  ~IMediaValidatorExtra() = default;
};

// Obtained from the control interface by its id when the module offers it; a
// later addition to the contract, so a host that gets kHResultNoInterface
// carries on as before. It tells a run that ended without reading its whole
// file (a failed read, a file that shrank) from one that checked it all,
// which the progress cannot: either run ends at 100.
class IMediaValidatorRunState : public IUnknown {
 public:
  // slot 3: after a run has ended, where the bytes it read end and the file's
  // size when it started; kHResultFail while a run is going on or when the
  // module does not know. Fewer bytes read than that size: the run did not
  // see the whole file.
  virtual HRESULT GetMediaRead(int64_t* bytesRead, int64_t* startSize) = 0;

 protected:
  ~IMediaValidatorRunState() = default;
};

// The module's one export: status 0 and a non-null control interface (with
// one reference for the caller) mean success.
inline constexpr const char* kGetMediaValidatorControlName = "GetMediaValidatorControl";
using TGetMediaValidatorControl = HRESULT (*)(IMediaValidatorControl** control);

}  // namespace tessaro

// The records and constants of the TWAIN protocol that this program uses,
// defined here from the published standard. Records are packed to 2 bytes as
// the standard lays them out; handles and memory references are pointers of
// the platform's width (8 bytes in this 64-bit program).
#pragma once

#include <cstddef>
#include <cstdint>

namespace vx::scan::twain {

// Data groups.
inline constexpr uint32_t DG_CONTROL = 0x0001;
inline constexpr uint32_t DG_IMAGE = 0x0002;

// Data argument types.
inline constexpr uint16_t DAT_CAPABILITY = 0x0001;
inline constexpr uint16_t DAT_EVENT = 0x0002;
inline constexpr uint16_t DAT_IDENTITY = 0x0003;
inline constexpr uint16_t DAT_PARENT = 0x0004;
inline constexpr uint16_t DAT_PENDINGXFERS = 0x0005;
inline constexpr uint16_t DAT_STATUS = 0x0008;
inline constexpr uint16_t DAT_USERINTERFACE = 0x0009;
inline constexpr uint16_t DAT_IMAGEINFO = 0x0101;
inline constexpr uint16_t DAT_IMAGEMEMXFER = 0x0103;
inline constexpr uint16_t DAT_IMAGENATIVEXFER = 0x0104;
inline constexpr uint16_t DAT_IMAGEFILEXFER = 0x0105;

// Messages.
inline constexpr uint16_t MSG_NULL = 0x0000;
inline constexpr uint16_t MSG_GET = 0x0001;
inline constexpr uint16_t MSG_GETCURRENT = 0x0002;
inline constexpr uint16_t MSG_GETDEFAULT = 0x0003;
inline constexpr uint16_t MSG_GETFIRST = 0x0004;
inline constexpr uint16_t MSG_GETNEXT = 0x0005;
inline constexpr uint16_t MSG_SET = 0x0006;
inline constexpr uint16_t MSG_RESET = 0x0007;
inline constexpr uint16_t MSG_XFERREADY = 0x0101;
inline constexpr uint16_t MSG_CLOSEDSREQ = 0x0102;
inline constexpr uint16_t MSG_CLOSEDSOK = 0x0103;
inline constexpr uint16_t MSG_OPENDSM = 0x0301;
inline constexpr uint16_t MSG_CLOSEDSM = 0x0302;
inline constexpr uint16_t MSG_OPENDS = 0x0401;
inline constexpr uint16_t MSG_CLOSEDS = 0x0402;
inline constexpr uint16_t MSG_DISABLEDS = 0x0501;
inline constexpr uint16_t MSG_ENABLEDS = 0x0502;
inline constexpr uint16_t MSG_PROCESSEVENT = 0x0601;
inline constexpr uint16_t MSG_ENDXFER = 0x0701;

// Return codes.
inline constexpr uint16_t TWRC_SUCCESS = 0;
inline constexpr uint16_t TWRC_FAILURE = 1;
inline constexpr uint16_t TWRC_CHECKSTATUS = 2;
inline constexpr uint16_t TWRC_CANCEL = 3;
inline constexpr uint16_t TWRC_DSEVENT = 4;
inline constexpr uint16_t TWRC_NOTDSEVENT = 5;
inline constexpr uint16_t TWRC_XFERDONE = 6;
inline constexpr uint16_t TWRC_ENDOFLIST = 7;

// Condition codes.
inline constexpr uint16_t TWCC_SUCCESS = 0;
inline constexpr uint16_t TWCC_BUMMER = 1;
inline constexpr uint16_t TWCC_LOWMEMORY = 2;
inline constexpr uint16_t TWCC_NODS = 3;
inline constexpr uint16_t TWCC_OPERATIONERROR = 5;
inline constexpr uint16_t TWCC_BADCAP = 6;
inline constexpr uint16_t TWCC_BADPROTOCOL = 9;
inline constexpr uint16_t TWCC_BADVALUE = 10;
inline constexpr uint16_t TWCC_SEQERROR = 11;

// Containers and item types.
inline constexpr uint16_t TWON_ONEVALUE = 5;
inline constexpr uint16_t TWTY_UINT16 = 4;
inline constexpr uint16_t TWTY_FIX32 = 7;

// Capabilities.
inline constexpr uint16_t ICAP_XFERMECH = 0x0103;
inline constexpr uint16_t ICAP_XRESOLUTION = 0x1118;
inline constexpr uint16_t ICAP_YRESOLUTION = 0x1119;
inline constexpr uint16_t TWSX_NATIVE = 0;

// Pixel types.
inline constexpr int16_t TWPT_BW = 0;
inline constexpr int16_t TWPT_GRAY = 1;
inline constexpr int16_t TWPT_RGB = 2;

// Groups this program supports: control and image.
inline constexpr uint32_t kSupportedGroups = DG_CONTROL | DG_IMAGE;

// Text fields hold 32 characters and their terminator in 34 bytes.
inline constexpr size_t kStr32Size = 34;
inline constexpr size_t kStr32Chars = 32;

#pragma pack(push, 2)

struct TW_FIX32 {
  int16_t Whole;
  uint16_t Frac;
};

struct TW_VERSION {
  uint16_t MajorNum;
  uint16_t MinorNum;
  uint16_t Language;
  uint16_t Country;
  char Info[kStr32Size];
};

struct TW_IDENTITY {
  uint32_t Id;
  TW_VERSION Version;
  uint16_t ProtocolMajor;
  uint16_t ProtocolMinor;
  uint32_t SupportedGroups;
  char Manufacturer[kStr32Size];
  char ProductFamily[kStr32Size];
  char ProductName[kStr32Size];
};

struct TW_IMAGEINFO {
  TW_FIX32 XResolution;
  TW_FIX32 YResolution;
  int32_t ImageWidth;
  int32_t ImageLength;
  int16_t SamplesPerPixel;
  int16_t BitsPerSample[8];
  int16_t BitsPerPixel;
  uint16_t Planar;
  int16_t PixelType;
  uint16_t Compression;
};

struct TW_USERINTERFACE {
  uint16_t ShowUI;
  uint16_t ModalUI;
  void* hParent;
};

struct TW_CAPABILITY {
  uint16_t Cap;
  uint16_t ConType;
  void* hContainer;
};

struct TW_ONEVALUE {
  uint16_t ItemType;
  uint32_t Item;
};

struct TW_EVENT {
  void* pEvent;
  uint16_t TWMessage;
};

struct TW_PENDINGXFERS {
  uint16_t Count;
  uint32_t EOJ;
};

struct TW_STATUS {
  uint16_t ConditionCode;
  uint16_t Reserved;
};

#pragma pack(pop)

static_assert(sizeof(TW_IDENTITY) == 156);
static_assert(sizeof(TW_IMAGEINFO) == 42);
static_assert(sizeof(TW_ONEVALUE) == 6);
static_assert(sizeof(TW_PENDINGXFERS) == 6);
static_assert(sizeof(TW_USERINTERFACE) == 4 + sizeof(void*));
static_assert(sizeof(TW_CAPABILITY) == 4 + sizeof(void*));
static_assert(sizeof(TW_EVENT) == sizeof(void*) + 2);

// The manager's entry point and a source's entry point.
using DsmEntryProc = uint16_t (*)(TW_IDENTITY* origin, TW_IDENTITY* destination, uint32_t dg, uint16_t dat,
                                  uint16_t msg, void* data);
using DsEntryProc = uint16_t (*)(TW_IDENTITY* origin, uint32_t dg, uint16_t dat, uint16_t msg, void* data);

// A FIX32 as a number, and a number (whole part and fraction) as a FIX32.
double Fix32ToDouble(TW_FIX32 value);
TW_FIX32 DoubleToFix32(double value);
// As the scan window rounds a resolution to whole dots per inch.
int RoundedDpi(TW_FIX32 value);

}  // namespace vx::scan::twain

// TQVTWAIN: the TWAIN session component. It lets one window of the program
// act as a TWAIN application: loads and opens the data source manager, opens
// and enables the chosen source, passes the application's messages to the
// source through the message hook, transfers pages natively (as DIBs) and
// reports each step through four events.
//
// The TWAIN states it walks: 1 nothing loaded -> library loaded (2) ->
// manager open (3, kept for the component's life) -> source open (4) ->
// source enabled (5) -> transfer ready (6) -> transferring (7) -> back to 6
// while pages are pending, else 5 -> disabled (4) -> closed (3). After each
// batch the source is closed; the next Acquire opens and enables it again.
//
// Single-threaded: every call and every event happens on the thread that runs
// the application's message loop.
#pragma once

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "scan/twain/twain_identity.h"
#include "scan/twain/twain_ports.h"
#include "scan/twain/twain_records.h"

namespace vx::scan::twain {

// A failing load or close of the manager, or an operation called out of order.
class ETwainError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

enum class TTransferType { xfNative, xfMemory, xfFile };

// File formats for a file transfer (the TWAIN codes 0 to 9).
enum class TImageType {
  ffTIFF,
  ffPICT,
  ffBMP,
  ffXBM,
  ffJFIF,
  ffFPX,
  ffTIFFMULTI,
  ffPNG,
  ffSPIFF,
  ffEXIF,
  ffUNKNOWN
};
TImageType ImageTypeFromCode(int code);

struct TwainPorts {
  TwainManagerLibrary& library;
  GlobalMemory& memory;
  ApplicationMessages& messages;
};

class TQVTWAIN {
 public:
  using Event = std::function<void(TQVTWAIN& sender)>;

  explicit TQVTWAIN(TwainPorts ports);
  // Disables and closes the source, closes the manager, unloads the library
  // and puts the previous message handler back.
  ~TQVTWAIN();
  TQVTWAIN(const TQVTWAIN&) = delete;
  TQVTWAIN& operator=(const TQVTWAIN&) = delete;

  // --- Properties -----------------------------------------------------------
  TTransferType Destination = TTransferType::xfNative;
  bool ShowUI = true;
  TImageType FileFormat = TImageType::ffBMP;  // file transfer only (not reached)
  Event OnScanStart, OnScanReady, OnScanCancel, OnScanClose;

  // Identity texts, cut to 32 characters.
  void SetProductname(std::string_view text) { SetStr32(app_.ProductName, text); }
  void SetManufacturer(std::string_view text) { SetStr32(app_.Manufacturer, text); }
  void SetProductFamily(std::string_view text) { SetStr32(app_.ProductFamily, text); }
  void SetVersionInfo(std::string_view text) { SetStr32(app_.Version.Info, text); }
  std::string Productname() const { return Str32(app_.ProductName); }
  std::string VersionInfo() const { return Str32(app_.Version.Info); }
  void SetVersionMajor(uint16_t v) { app_.Version.MajorNum = v; }
  void SetVersionMinor(uint16_t v) { app_.Version.MinorNum = v; }
  void SetLanguage(TLanguageType language) { app_.Version.Language = LanguageCode(language); }
  TLanguageType Language() const { return LanguageFromCode(app_.Version.Language); }
  void SetCountry(TCountryType country) { app_.Version.Country = CountryCode(country); }
  TCountryType Country() const { return CountryFromCode(app_.Version.Country); }
  // File name for a file transfer, at most 255 characters (not reached).
  void SetFilename(std::string_view name) { filename_ = std::string(name.substr(0, 255)); }
  const std::string& Filename() const { return filename_; }

  // The application identity passed as origin on every call.
  const TW_IDENTITY& ApplicationIdentity() const { return app_; }
  TW_IDENTITY& MutableApplicationIdentity() { return app_; }
  const TW_IDENTITY& SourceIdentity() const { return source_; }

  // --- Operations -----------------------------------------------------------
  // True when a data source is installed.
  bool IsTwainDriverAvailable() const { return ports_.library.AnySourceInstalled(); }
  // Takes the application window as parent and identity id, loads the
  // library, installs the message hook (keeping the previous handler) and
  // opens the manager.
  void InitTWAIN(void* parent_window);
  bool fLoadTwain();
  void fUnloadTwain();

  uint16_t CallDataSourceManager(TW_IDENTITY* destination, uint32_t dg, uint16_t dat, uint16_t msg,
                                 void* data);
  uint16_t CallDataSource(uint32_t dg, uint16_t dat, uint16_t msg, void* data);

  void OpenDataSourceManager();
  void CloseDataSourceManager();
  void OpenDataSource();
  void CloseDataSource();
  uint16_t EnableDataSource();
  void DisableDataSource();

  bool IsDataSourceManagerOpen() const { return manager_open_; }
  bool IsDataSourceOpen() const { return source_open_; }
  bool IsDataSourceEnabled() const { return source_enabled_; }
  bool IsLastPage() const { return last_page_; }
  // The last transfer of the batch failed (ScanReady then has no page).
  bool TransferFailed() const { return transfer_failed_; }
  // The page just transferred; the caller owns it (empty after a failed transfer).
  GlobalBlock GetBmpHandle() { return std::move(dib_); }
  // Requests a cancel, checked before each transfer.
  void SetCanel(bool cancel) { cancel_ = cancel; }
  void SetDataSource(const TW_IDENTITY& identity) { source_ = identity; }

  uint16_t GetImageInfo(TW_IMAGEINFO& info);
  bool SetImageInfo(const TW_IMAGEINFO& info);
  void XferMech();
  // Opens the manager and the source, asks for native transfers and enables
  // the source; `Destination` returns to native. Returns the enable's code.
  uint16_t Acquire();

  // Passes one application message (the platform's message record) to the
  // source; true when it was the source's.
  bool ProcessSourceMessage(void* message);

 private:
  void fNativeXfer();
  void RunTransfers();
  bool SetOneValue(uint16_t cap, uint16_t item_type, uint32_t item);
  void Require(bool condition, const char* text) const;

  TwainPorts ports_;
  TW_IDENTITY app_{};
  TW_IDENTITY source_{};
  void* parent_ = nullptr;
  std::string filename_ = "C:\\TWAIN.BMP";
  bool manager_open_ = false;
  bool source_open_ = false;
  bool source_enabled_ = false;
  bool last_page_ = false;
  bool cancel_ = false;
  bool transfer_failed_ = false;
  bool hooked_ = false;
  GlobalBlock dib_;
  AppMessageHandler previous_handler_;
};

}  // namespace vx::scan::twain

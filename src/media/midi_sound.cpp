#include "media/midi_sound.h"

#include "media/audio_bus.h"

namespace kova {

namespace {

class TBusMidiOut final : public plat::IMidiOut, public IAudioInput {
 public:
  TBusMidiOut(std::unique_ptr<plat::IMidiOut> out, TAudioBus& bus) : out_(std::move(out)), bus_(bus) {
    bus_.Attach(*this);
  }
  ~TBusMidiOut() override { bus_.Detach(*this); }  // no pull renders it once this returns
  TBusMidiOut(const TBusMidiOut&) = delete;
  TBusMidiOut& operator=(const TBusMidiOut&) = delete;

  void ShortMsg(uint32_t message) override { out_->ShortMsg(message); }
  void LongMsg(std::span<const uint8_t> message) override { out_->LongMsg(message); }
  void Reset() override { out_->Reset(); }
  bool HasSound() const override { return true; }
  void Render(std::span<int16_t> stereo) override { out_->Render(stereo); }

  // The pulling thread only.
  void MixInto(std::span<int16_t> samples, bool) override {
    scratch_.resize(samples.size());
    out_->Render(scratch_);
    MixSaturated(samples, scratch_);
  }

 private:
  std::unique_ptr<plat::IMidiOut> out_;
  TAudioBus& bus_;
  std::vector<int16_t> scratch_;
};

}  // namespace

std::unique_ptr<plat::IMidiOut> TBusMidiDevices::Open(int32_t index) {
  std::unique_ptr<plat::IMidiOut> out = devices_.Open(index);
  if (!out || !out->HasSound()) return out;
  return std::make_unique<TBusMidiOut>(std::move(out), bus_);
}

}  // namespace kova

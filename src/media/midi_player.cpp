#include "media/midi_player.h"

#include <algorithm>
#include <chrono>
#include <thread>
#include <utility>

namespace kova {

namespace {

constexpr uint8_t kMasterVolumeFull[] = {0xF0, 0x7F, 0x7F, 0x04, 0x01, 0x00, 0x7F, 0xF7};
constexpr uint32_t kGsResetPause = 10;  // ms

uint32_t Pack(uint32_t status, uint32_t data1, uint32_t data2) { return status | data1 << 8 | data2 << 16; }

}  // namespace

TMidiPlayV::TMidiPlayV(plat::IMidiDevices* devices, std::function<uint32_t()> clock_ms, bool own_thread,
                       std::function<void(uint32_t)> sleep)
    : devices_(devices), clock_ms_(std::move(clock_ms)), sleep_(std::move(sleep)) {
  for (auto& channel : scales_) channel.fill(100);
  if (!clock_ms_) {
    clock_ms_ = [] {
      using namespace std::chrono;
      return uint32_t(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
    };
  }
  if (!sleep_) sleep_ = [](uint32_t ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); };
  timer_ = std::make_unique<TMMTimer>([this] { OnTick(); }, own_thread);
}

TMidiPlayV::~TMidiPlayV() {
  timer_->StopThread();
  CloseDevice();
}

bool TMidiPlayV::OpenDevice(int32_t index) {
  std::unique_ptr<plat::IMidiOut> out = devices_ ? devices_->Open(index) : nullptr;
  auto hold = timer_->Hold();
  out_.swap(out);  // the one it replaces is freed after the hold
  return out_ != nullptr;
}

void TMidiPlayV::CloseDevice() {
  std::unique_ptr<plat::IMidiOut> closed;
  {
    auto hold = timer_->Hold();
    if (!out_) return;
    timer_->SetEnabled(false);
    out_->Reset();
    closed = std::move(out_);
  }
}

bool TMidiPlayV::IsOpen() {
  auto hold = timer_->Hold();
  return out_ != nullptr;
}

void TMidiPlayV::LoadFromStream(std::span<const uint8_t> bytes) { LoadEvents(Read(bytes)); }

std::vector<TMidiPlayV::TEvent> TMidiPlayV::Read(std::span<const uint8_t> bytes) const {
  return reader_ ? reader_(bytes) : ReadMidiFile(bytes);
}

std::vector<TMidiPlayV::TEvent> TMidiPlayV::ReadMidiFile(std::span<const uint8_t> bytes) {
  TMidiV song;
  song.LoadFromStream(bytes);
  std::vector<TEvent> events;
  events.reserve(song.Events().size());
  for (const TMidiMsgEvent& e : song.Events()) {
    const std::span<const uint8_t> data = song.Data(e);
    events.push_back(TEvent{e.Time, e.Class, e.Kind, {data.begin(), data.end()}});
  }
  return events;
}

void TMidiPlayV::LoadEvents(std::vector<TEvent> events) {
  Stop();
  std::vector<TEvent> old;
  auto hold = timer_->Hold();
  old.swap(events_);
  events_ = std::move(events);
  current_ = 0;
  position_ = 0;
  for (auto& channel : controls_) channel[7] = 127;
}

void TMidiPlayV::PlayFrom(int32_t ms) {
  auto hold = timer_->Hold();
  timer_->SetEnabled(false);
  // The first event at `ms`, else the one before the first later event; 0 when even the first
  // is later, or when none is.
  const auto later = std::find_if(events_.begin(), events_.end(), [&](const TEvent& e) { return e.Time > ms; });
  const auto at = std::find_if(events_.begin(), later, [&](const TEvent& e) { return e.Time == ms; });
  size_t target = 0;
  if (at != later) {
    target = size_t(at - events_.begin());
  } else if (later != events_.begin() && later != events_.end()) {
    target = size_t(later - events_.begin()) - 1;
  }
  AllNotesOffLocked();
  if (target < current_) {
    current_ = 0;
    position_ = 0;
  }
  // The device gets its pause after the last GS reset on the way only: what an earlier reset is
  // followed by, the next one wipes out again, and a song full of resets must not stall the seek.
  size_t last_reset = target;
  for (size_t i = current_; i < target; ++i) {
    if (events_[i].Class == kMidiGsReset) last_reset = i;
  }
  for (; current_ < target; ++current_) {
    const TEvent& e = events_[current_];
    if (e.Class != kMidiNoteOn && e.Class != kMidiNoteOff) Send(e);
    position_ = e.Time;
    if (current_ == last_reset) sleep_(kGsResetPause);
  }
  previous_ = clock_ms_();
  timer_->SetEnabled(true);
}

void TMidiPlayV::Stop() {
  if (!timer_->Enabled()) return;
  auto hold = timer_->Hold();
  timer_->SetEnabled(false);
  AllNotesOffLocked();
}

void TMidiPlayV::SetScale(int32_t channel, int32_t controller, int32_t percent) {
  if (channel < 0 || channel > 15 || controller < 0 || controller > 127) return;
  auto hold = timer_->Hold();
  scales_[size_t(channel)][size_t(controller)] = percent;
  if (timer_->Enabled()) SendControl(channel, controller);
}

void TMidiPlayV::SetScaleAll(int32_t controller, int32_t percent) {
  for (int32_t channel = 0; channel < 16; ++channel) SetScale(channel, controller, percent);
}

void TMidiPlayV::AllNotesOff() {
  auto hold = timer_->Hold();
  AllNotesOffLocked();
}

void TMidiPlayV::AllNotesOffLocked() {
  if (!out_) return;
  for (uint32_t channel = 0; channel < 16; ++channel) out_->ShortMsg(Pack(0xB0 | channel, 123, 0));
}

void TMidiPlayV::MasterVolumeFull() {
  auto hold = timer_->Hold();
  if (out_) out_->LongMsg(kMasterVolumeFull);
}

bool TMidiPlayV::EndedLocked() const { return !repeat_ && current_ + 1 >= events_.size(); }

bool TMidiPlayV::IsEnd() {
  auto hold = timer_->Hold();
  return EndedLocked();
}

int32_t TMidiPlayV::Position() {
  auto hold = timer_->Hold();
  return position_;
}

int32_t TMidiPlayV::SongLength() {
  auto hold = timer_->Hold();
  return events_.empty() ? 0 : events_.back().Time;
}

bool TMidiPlayV::Repeat() {
  auto hold = timer_->Hold();
  return repeat_;
}

void TMidiPlayV::SetRepeat(bool repeat) {
  auto hold = timer_->Hold();
  repeat_ = repeat;
}

int32_t TMidiPlayV::BeatsPerMinute() {
  auto hold = timer_->Hold();
  return bpm_;
}

void TMidiPlayV::OnTick() {
  if (current_ + 1 >= events_.size()) return;
  const uint32_t now = clock_ms_();
  position_ += int32_t(std::min<uint32_t>(1000, now - previous_));
  previous_ = now;
  while (events_[current_].Time < position_) {
    Send(events_[current_]);
    if (++current_ + 1 < events_.size()) continue;
    // The last event is the song's end, never sent.
    if (!repeat_) break;
    AllNotesOffLocked();
    current_ = 0;
    position_ = events_.front().Time;
  }
}

void TMidiPlayV::SendControl(int32_t channel, int32_t controller) {
  if (!out_) return;
  const int64_t value = int64_t(controls_[size_t(channel)][size_t(controller)]) *
                        scales_[size_t(channel)][size_t(controller)] / 100;
  out_->ShortMsg(Pack(0xB0 | uint32_t(channel), uint32_t(controller), uint32_t(std::clamp<int64_t>(value, 0, 127))));
}

void TMidiPlayV::Send(const TEvent& event) {
  const std::vector<uint8_t>& b = event.Bytes;
  if (b.empty()) return;
  switch (event.Kind) {
    case TMidiEventKind::Channel: {
      const uint8_t status = b[0];
      if ((status & 0xF0) == 0xB0 && b.size() >= 3) {
        const int32_t channel = status & 0x0F, controller = b[1] & 0x7F;
        controls_[size_t(channel)][size_t(controller)] = b[2] & 0x7F;
        SendControl(channel, controller);
      } else if (out_) {
        out_->ShortMsg(Pack(status, b.size() > 1 ? b[1] : 0, b.size() > 2 ? b[2] : 0));
      }
      break;
    }
    case TMidiEventKind::SysEx:
      if (out_) out_->LongMsg(b);
      break;
    case TMidiEventKind::Meta:
      // FF 51 then three bytes of microseconds a quarter note.
      if (event.Class == kMidiTempo && b.size() >= 5) {
        const uint32_t tempo = uint32_t(b[2]) << 16 | uint32_t(b[3]) << 8 | b[4];
        if (tempo > 0) bpm_ = int32_t(60000000 / tempo);
      }
      break;
  }
}

}  // namespace kova

// SPDX-License-Identifier: GPL-2.0-or-later
#include "support/tape_composer.h"

#include <algorithm>

#include "core/turbo_reader.h"
#include "core/turbo_visiload.h"

namespace rw::test {
namespace {

constexpr int kGapPulses = 79;      // between a block and its repeat
constexpr int kTrailerPulses = 78;  // after the repeat

uint32_t NextRandom(uint32_t& state) {
  state ^= state << 13;
  state ^= state >> 17;
  state ^= state << 5;
  return state;
}

}  // namespace

PulsePeaks DefaultPeaks(uint8_t machine) {
  // Commodore 64, VIC-20, C16 and Plus/4.
  static const PulsePeaks kPeaks[] = {{48, 66, 86}, {42, 62, 86}, {48, 108, 220}};
  return kPeaks[machine <= 2 ? machine : 0];
}

std::vector<uint8_t> ProgramData(size_t size, uint32_t seed) {
  uint32_t state = seed == 0 ? 1 : seed;
  std::vector<uint8_t> data(size);
  for (auto& b : data) b = static_cast<uint8_t>(NextRandom(state));
  if (!data.empty()) data[0] = 0x0B;
  return data;
}

std::vector<uint8_t> PartsTape(int programs, uint32_t bytes, const std::string& name) {
  TapeComposer composer(0, 1);
  for (int i = 0; i < programs; ++i) {
    composer.AddProgram({.name = name.empty() ? "PART" + std::to_string(i + 1) : name,
                         .data = ProgramData(bytes, static_cast<uint32_t>(i + 1)),
                         .leaderPulses = 1500});
    composer.AddSilence(60000);
  }
  return composer.TakeFileBytes();
}

TapImage RawImage(uint8_t version, const std::vector<uint8_t>& pulses) {
  TapeComposer composer(0, version);
  composer.AddRaw(pulses);
  return composer.Image();
}

std::vector<TapeSection> FindAllSections(const TapImage& image) {
  std::vector<TapeSection> sections;
  RomDecoder decoder(image);
  TapeSection section;
  int64_t pos = kTapHeaderSize;
  while (decoder.FindNextSection(pos, section)) {
    pos = static_cast<int64_t>(section.leaderEnd) + decoder.step();
    sections.push_back(section);
  }
  return sections;
}

std::vector<DataResult> ReadAllData(const TapImage& image, const std::vector<TapeSection>& sections) {
  std::vector<DataResult> results;
  DataBlockReader reader(image);
  for (size_t i = 0; i < sections.size(); ++i) {
    const int64_t limit =
        i + 1 < sections.size() ? sections[i + 1].start - (image.version == 2 ? 2 : 1) : image.FileLength() - 1;
    results.push_back(reader.Read(sections[i], limit));
  }
  return results;
}

TapeComposer::TapeComposer(uint8_t machine, uint8_t version, uint8_t video, uint32_t seed)
    : machine_(machine),
      version_(version),
      video_(video),
      random_(seed == 0 ? 1 : seed),
      peaks_(DefaultPeaks(machine)) {
  bytes_.resize(kTapHeaderSize);
}

int TapeComposer::Jittered(int value) {
  if (jitter_ > 0) {
    value += static_cast<int>(NextRandom(random_) % static_cast<uint32_t>(2 * jitter_ + 1)) - jitter_;
  }
  return std::clamp(value, 1, 255);
}

void TapeComposer::Pulse(int value) {
  // Version 2: two half-waves, the second with the odd remainder.
  const int first = version_ == 2 ? value / 2 : value;
  bytes_.push_back(static_cast<uint8_t>(Jittered(first)));
  if (version_ == 2) bytes_.push_back(static_cast<uint8_t>(Jittered(value - first)));
}

void TapeComposer::AddPulses(int value, int count) {
  for (int i = 0; i < count; ++i) Pulse(value);
}

void TapeComposer::AddByte(uint8_t value, bool wrongParity, bool broken) {
  const int s = peaks_.shortPulse;
  const int m = peaks_.mediumPulse;
  Pulse(peaks_.longPulse);
  Pulse(m);
  int parity = 1;
  // Bits 0..7, then the parity bit. A broken byte's first pulse is 1: below
  // every class, and not a zero (silence).
  for (int k = 0; k <= 8; ++k) {
    const int bit = k < 8 ? value >> k & 1 : parity ^ (wrongParity ? 1 : 0);
    parity ^= bit;
    Pulse(k == 0 && broken ? 1 : bit != 0 ? m : s);
    Pulse(bit != 0 ? s : m);
  }
}

void TapeComposer::AddSilence(uint32_t cycles) {
  if (cycles == 0) return;
  if (version_ == 0) {
    const uint32_t zeros = cycles / (256 * 8) + 1;
    bytes_.insert(bytes_.end(), zeros, 0);
    return;
  }
  cycles = std::min<uint32_t>(cycles, 0xFFFFFF);
  bytes_.insert(bytes_.end(), {0, static_cast<uint8_t>(cycles & 0xFF), static_cast<uint8_t>(cycles >> 8 & 0xFF),
                               static_cast<uint8_t>(cycles >> 16 & 0xFF)});
}

void TapeComposer::AddRaw(const std::vector<uint8_t>& bytes) {
  bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
}

void TapeComposer::AddBlock(int countdownStart, const std::vector<uint8_t>& payload, bool wrongChecksum,
                            const std::vector<int>& wrongParity, const std::vector<int>& broken) {
  int index = 0;
  const auto add = [&](uint8_t b) {
    const auto has = [&](const std::vector<int>& list) { return std::count(list.begin(), list.end(), index) > 0; };
    AddByte(b, has(wrongParity), has(broken));
    ++index;
  };
  for (int k = 0; k < 9; ++k) add(static_cast<uint8_t>(countdownStart - k));
  uint8_t checksum = 0;
  for (const uint8_t b : payload) {
    checksum ^= b;
    add(b);
  }
  if (wrongChecksum) checksum ^= 0x01;
  add(checksum);
  // End of data: a long pulse followed by a short one.
  Pulse(peaks_.longPulse);
  Pulse(peaks_.shortPulse);
}

ComposedLayout TapeComposer::AddProgram(const ComposedProgram& program) {
  ComposedLayout layout;
  AddSilence(program.silenceBefore);
  layout.start = size();
  if (version_ == 2 && program.strayHalfWave) bytes_.push_back(static_cast<uint8_t>(peaks_.shortPulse / 2));
  AddPulses(peaks_.shortPulse, program.leaderPulses);

  // Loaded at the start address, up to (not including) the end address.
  const size_t length = program.headerLength >= 0 ? static_cast<size_t>(program.headerLength) : program.data.size();
  const auto end = static_cast<uint16_t>(program.startAddress + length);
  std::vector<uint8_t> header = {program.fileType, static_cast<uint8_t>(program.startAddress & 0xFF),
                                 static_cast<uint8_t>(program.startAddress >> 8), static_cast<uint8_t>(end & 0xFF),
                                 static_cast<uint8_t>(end >> 8)};
  std::string name = program.name.substr(0, 16);
  name.resize(16, ' ');
  header.insert(header.end(), name.begin(), name.end());
  header.insert(header.end(), program.headerTail.begin(), program.headerTail.end());
  header.resize(192, ' ');

  layout.headerPos = size();
  AddBlock(137, header, program.wrongChecksum, {program.wrongParityByte});
  AddPulses(peaks_.shortPulse, kGapPulses);
  if (program.headerRepeat) {
    layout.repeatPos = size();
    AddBlock(9, header, program.wrongRepeatChecksum, {});
  }
  AddPulses(peaks_.shortPulse, kTrailerPulses);

  if (!program.data.empty()) {
    AddPulses(peaks_.shortPulse, program.dataLeaderPulses);
    layout.dataPos = size();
    AddBlock(137, program.data, false, program.dataParityErrors, program.dataBrokenBytes);
    AddPulses(peaks_.shortPulse, kGapPulses);
    if (program.dataRepeat) {
      layout.dataRepeatPos = size();
      AddBlock(9, program.data, false, program.dataRepeatParityErrors);
    }
    AddPulses(peaks_.shortPulse, kTrailerPulses);
  }
  layouts_.push_back(layout);
  return layout;
}

std::vector<uint8_t> TapeComposer::FileBytes() const {
  TapeComposer copy = *this;
  return copy.TakeFileBytes();
}

std::vector<uint8_t> TapeComposer::TakeFileBytes() {
  const auto header =
      MakeTapHeader("C64-TAPE-RAW", version_, machine_, video_, static_cast<uint32_t>(bytes_.size() - kTapHeaderSize));
  std::copy(header.begin(), header.end(), bytes_.begin());
  std::vector<uint8_t> bytes = std::move(bytes_);
  bytes_.assign(kTapHeaderSize, 0);
  layouts_.clear();
  return bytes;
}

TapImage TapeComposer::Image() const {
  TapImage image;
  (void)LoadTapImageFromBytes("composed.tap", FileBytes(), image);
  return image;
}

std::vector<uint8_t> TapeWith(const std::vector<std::string>& names, std::vector<int64_t>* starts) {
  TapeComposer composer(0, 1);
  composer.AddSilence(50000);
  uint32_t seed = 1;
  for (const std::string& name : names) {
    const int64_t start = composer.AddProgram({.name = name, .data = ProgramData(64, seed++)}).start;
    if (starts) starts->push_back(start);
    composer.AddSilence(100000);
  }
  return composer.TakeFileBytes();
}

std::vector<uint8_t> BurnerHeaderTail(const BurnerSettings& settings) {
  constexpr size_t kNameEnd = 21;  // file type, start, end, 16-byte name
  std::vector<uint8_t> tail(192 - kNameEnd, ' ');
  const auto set = [&](size_t offset, uint8_t value) { tail[offset - kNameEnd] = value ^ kBurnerCipher; };
  set(kBurnerOrderAt, settings.msbFirst ? 0x26 : 0x66);
  set(kBurnerPilotAt, settings.pilot);
  set(kBurnerSyncAt, settings.sync);
  return tail;
}

ComposedTurboLayout TapeComposer::AddTurboFile(const ComposedTurboFile& file) {
  TurboFamily family;
  for (const auto& f : TurboFamilies()) {
    if (f.name == file.family) family = f;
  }
  if (file.family == "Burner") {
    family.msbFirst = file.burner.msbFirst;
    family.pilotByte = file.burner.pilot;
    family.sync = {file.burner.sync};
  }
  const auto pulse = [&](bool one) {
    Pulse(static_cast<int>((one ? family.bit1 : family.bit0) * speed_ + 0.5));
    speed_ += drift_;
  };
  const auto byte = [&](uint8_t value) {
    for (int k = 0; k < 8; ++k) pulse(((family.msbFirst ? value >> (7 - k) : value >> k) & 1) != 0);
  };
  const auto word = [&](uint32_t value) {
    byte(static_cast<uint8_t>(value & 0xFF));
    byte(static_cast<uint8_t>(value >> 8 & 0xFF));
  };
  std::string name = file.name.substr(0, std::min<size_t>(file.name.size(), 16));
  name.resize(16, ' ');
  const auto nameBytes = [&] {
    for (char c : name) byte(static_cast<uint8_t>(c));
  };
  std::vector<uint8_t> data = file.data;
  uint8_t xorSum = 0;
  for (uint8_t b : data) xorSum ^= b;
  if (file.corruptByte >= 0) data[static_cast<size_t>(file.corruptByte)] ^= 0x10;
  const uint32_t end = file.loadAddress + static_cast<uint32_t>(data.size());
  const auto dataWithXor = [&] {
    for (uint8_t b : data) byte(b);
    byte(xorSum);
  };
  const auto leadIn = [&] {
    if (family.zeroBitPilot) {
      for (int i = 0; i < 2000; ++i) pulse(false);
      pulse(true);
    } else {
      // Jetload's saver writes just two pilot bytes.
      const int usual = file.family == "Jetload" ? 2 : file.family == "Wildload" ? 256 : 64;
      for (int i = 0; i < usual; ++i) byte(family.pilotByte);
    }
    for (uint8_t b : family.sync) byte(b);
  };

  ComposedTurboLayout layout;
  layout.start = size();
  const std::string& f = file.family;
  if (f != "Bleepload") leadIn();
  if (f == "Burner" || f == "Jetload") {
    word(file.loadAddress);
    word(end);
    for (uint8_t b : data) byte(b);
    // Burner's saver often leaves 15 pulses of no meaning after the data.
    if (f == "Burner") {
      for (const char bit : std::string("001000100010101")) pulse(bit == '1');
    }
  } else if (f == "Freeload" || f == "Ocean New" || f == "US Gold" || f == "Ace of Aces" || f == "Virgin" ||
             f == "Hi-Tec") {
    // The addresses, with what each family writes before or after them.
    const bool virgin = f == "Virgin" || f == "Hi-Tec";
    if (f == "Ocean New") byte(7);  // the file number
    if (f == "US Gold") nameBytes();
    if (virgin) byte(0);     // the block number
    if (virgin) byte(0x10);  // the screen shows
    word(file.loadAddress);
    word(end);
    if (virgin) word(0);  // no run address
    if (f == "Ace of Aces") nameBytes();
    dataWithXor();
  } else if (f == "Microload") {
    word(file.loadAddress);
    word((0x10000 - data.size()) & 0xFFFF);
    dataWithXor();
  } else if (f == "Turbotape 250") {
    byte(1);
    word(file.loadAddress);
    word(end);
    byte(0);
    nameBytes();
    for (int i = 22; i < 192; ++i) byte(0x20);
    for (int i = 0; i < 300; ++i) pulse(false);
    leadIn();
    byte(0);
    dataWithXor();
  } else if (f == "Novaload") {
    unsigned sum = 0;
    const auto counted = [&](uint8_t b) {
      byte(b);
      sum += b;
    };
    counted(static_cast<uint8_t>(file.name.size()));
    for (char c : file.name) counted(static_cast<uint8_t>(c));
    const uint32_t fields[] = {file.loadAddress - 256u, end, static_cast<uint32_t>(file.data.size()) + 256u};
    for (uint32_t v : fields) {
      counted(static_cast<uint8_t>(v & 0xFF));
      counted(static_cast<uint8_t>(v >> 8 & 0xFF));
    }
    // The sums run over the true bytes; a corrupt byte is written wrong.
    for (size_t i = 0;; i += 256) {
      counted(static_cast<uint8_t>(sum));
      if (i >= file.data.size()) break;
      for (size_t n = i; n < std::min(i + 256, file.data.size()); ++n) {
        byte(data[n]);
        sum += file.data[n];
      }
    }
  } else if (f == "Wildload") {
    for (size_t first = 0; first < data.size(); first += 256) {
      const size_t size = std::min<size_t>(256, data.size() - first);
      const uint32_t last = file.loadAddress + static_cast<uint32_t>(first + size - 1);
      word(last);
      word(static_cast<uint32_t>(size));
      byte(0);
      uint8_t sum = 0;
      // Loaded backwards, each byte XOR the low byte of its address.
      for (size_t i = 0; i < size; ++i) {
        const size_t n = first + size - 1 - i;
        byte(static_cast<uint8_t>(data[n] ^ ((last - i) & 0xFF)));
        sum ^= file.data[n];
      }
      byte(sum);
    }
    // A block header of no address and no size ends the chain.
    for (int i = 0; i < 5; ++i) byte(0);
    for (int i = 0; i < 7; ++i) pulse(false);
  } else if (f == "Bleepload") {
    // A long tone of 1 bits, then the blocks.
    for (int i = 0; i < 2000; ++i) pulse(true);
    uint8_t pb = file.special ? 0x50 : 0x0F;
    size_t offset = 0;
    for (int number = 0; offset < data.size(); ++number) {
      const size_t size = !file.special && number == 0 ? 64 : 256;
      const uint32_t load = file.loadAddress + static_cast<uint32_t>(offset);
      const bool last = offset + size >= data.size();
      if (!file.special && number > 0) AddSilence(20000);
      for (int i = 0; i < 10; ++i) byte(pb);
      byte(static_cast<uint8_t>(pb ^ 0xFF));
      byte(pb);
      // Each block names the pilot byte of the next.
      const auto nextPb = static_cast<uint8_t>(pb + 0x11 == 0xFF ? 0x12 : pb + 0x11);
      if (!file.special) byte(nextPb);
      byte(static_cast<uint8_t>(number));
      word(load);
      if (file.special) {
        byte(0);
        byte(last ? static_cast<uint8_t>((load >> 8) + 1) : 0);
        word(0x0800);
      }
      uint8_t sum = 0;
      for (size_t n = offset; n < offset + size; ++n) {
        byte(data[n]);
        sum ^= file.data[n];
      }
      if (!file.special) {
        byte(2);  // filler bytes
        byte(0xAA);
        byte(0x55);
      }
      byte(sum);
      if (!file.special) {
        word(0x0800);
        byte(0);
        pb = nextPb;
      }
      offset += size;
    }
  } else if (f == "Novaload Special" || f == "Ocean/Imagine") {
    if (f == "Ocean/Imagine") byte(0xAA);
    for (size_t page = 0; page * 256 < data.size(); ++page) {
      const auto address = static_cast<uint8_t>((file.loadAddress >> 8) + page);
      if (f == "Ocean/Imagine") byte(0x80);
      byte(address);
      unsigned sum = address;
      for (size_t n = page * 256; n < page * 256 + 256; ++n) {
        byte(data[n]);
        sum += file.data[n];
      }
      if (f == "Novaload Special") byte(static_cast<uint8_t>(sum));
    }
  }
  layout.dataEnd = size();
  for (int i = 0; i < 400; ++i) pulse(false);
  return layout;
}

ComposedTurboLayout TapeComposer::AddVisiloadChain(const std::vector<ComposedVisiloadBlock>& blocks) {
  const TurboFamily family = VisiloadFamily();
  int extraBits = 1;
  int filler = 0;
  bool msbFirst = true;
  bool pilot = true;
  const auto pulse = [&](bool one) {
    Pulse(static_cast<int>((one ? family.bit1 : family.bit0) * speed_ + 0.5));
    speed_ += drift_;
  };
  const auto byte = [&](uint8_t value, bool broken = false) {
    for (int k = 0; k < extraBits; ++k) pulse(!(broken && k == 0));
    for (int k = 0; k < 8; ++k) pulse(((msbFirst ? value >> (7 - k) : value >> k) & 1) != 0);
  };
  ComposedTurboLayout layout;
  layout.start = size();
  for (const ComposedVisiloadBlock& block : blocks) {
    if (pilot) {
      for (int i = 0; i < 256; ++i) byte(0);
      byte(0x16);
    }
    for (int i = 0; i < filler; ++i) byte(0xA5);
    const unsigned load = block.loadAddress;
    const unsigned end = (load + (block.endIsStart ? 0 : static_cast<unsigned>(block.data.size()))) & 0xFFFF;
    for (const unsigned b : {end >> 8, end & 0xFF, load >> 8, load & 0xFF}) byte(static_cast<uint8_t>(b));
    const std::vector<uint8_t>& sent = block.data;
    for (size_t i = 0; i < sent.size(); ++i) byte(sent[i], static_cast<int>(i) == block.brokenByte);
    pilot = block.loadAddress == 0x03BB;
    if (block.loadAddress == 0x034B) extraBits = sent[0] - 8;
    if (block.loadAddress == 0x03A4) filler = sent[0] - 3;
    if (block.loadAddress == 0x0347) msbFirst = sent[0] == 0x26;
  }
  layout.dataEnd = size();
  for (int i = 0; i < 20; ++i) pulse(false);
  return layout;
}

}  // namespace rw::test

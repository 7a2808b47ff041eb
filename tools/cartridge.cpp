// The test cartridge: our own header, boot program and memory, no game's bytes.
//
// At power-on the emulator stands in for the console's boot ROM: it copies
// cartridge bytes 0x40..0xFFF into the RSP's data memory and starts the CPU
// there, at 0xA4000040, with the status register and the stack already set
// up. A real cartridge's boot code checks the lockout chip and then copies
// the game in; ours needs only the copy, the video interrupt (without which
// the emulator never reaches the point where it saves a state) and a jump.

#include <algorithm>

#include "tools/state_generator.h"

namespace morvane::gen {
namespace {

constexpr size_t kBootCodeStart = 0x40;
constexpr size_t kProgramStart = 0x1000;  // the cartridge offset the boot program copies from
constexpr size_t kProgramLength = 0x100000;
constexpr uint32_t kMemoryEnd = (kEntryPoint & 0xFFFFFF) + kProgramLength;

// Within the copied megabyte, above both releases' table roots.
constexpr uint32_t kTableStart = 0x800C0000;
constexpr uint32_t kTextureTop = 0x80100000;

void PutBE32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        b[at + static_cast<size_t>(i)] = static_cast<uint8_t>(v >> (24 - 8 * i));
    }
}

// The few MIPS instructions the boot program is made of, encoded by field.
namespace mips {

constexpr uint32_t kZero = 0;
constexpr uint32_t kT0 = 8;
constexpr uint32_t kT1 = 9;

constexpr uint32_t Immediate(uint32_t op, uint32_t rs, uint32_t rt, uint32_t imm) {
    return (op << 26) | (rs << 21) | (rt << 16) | (imm & 0xFFFF);
}
constexpr uint32_t Lui(uint32_t rt, uint32_t imm) {
    return Immediate(0x0F, 0, rt, imm);
}
constexpr uint32_t Ori(uint32_t rt, uint32_t rs, uint32_t imm) {
    return Immediate(0x0D, rs, rt, imm);
}
constexpr uint32_t Andi(uint32_t rt, uint32_t rs, uint32_t imm) {
    return Immediate(0x0C, rs, rt, imm);
}
constexpr uint32_t Lw(uint32_t rt, uint32_t offset, uint32_t base) {
    return Immediate(0x23, base, rt, offset);
}
constexpr uint32_t Sw(uint32_t rt, uint32_t offset, uint32_t base) {
    return Immediate(0x2B, base, rt, offset);
}
// `instructions` counts from the instruction after the branch (its delay slot).
constexpr uint32_t Bne(uint32_t rs, uint32_t rt, int instructions) {
    return Immediate(0x05, rs, rt, static_cast<uint32_t>(instructions));
}
constexpr uint32_t Jr(uint32_t rs) {
    return (rs << 21) | 0x08;
}
constexpr uint32_t J(uint32_t address) {
    return (0x02u << 26) | ((address >> 2) & 0x03FFFFFF);
}
constexpr uint32_t kNop = 0;  // sll zero, zero, 0

}  // namespace mips

// The boot program, run from the RSP's data memory at 0xA4000040.
std::vector<uint32_t> BootProgram() {
    using namespace mips;
    // One instruction a line, with its assembly beside it.
    // clang-format off
    return {
        // Copy the cartridge's megabyte from offset 0x1000 into RDRAM at 0x400
        // through the parallel interface (registers at 0xA4600000).
        Lui(kT0, 0xA460),          // lui   t0, 0xA460        t0 = PI registers
        Ori(kT1, kZero, 0x0400),   // ori   t1, zero, 0x0400
        Sw(kT1, 0x00, kT0),        // sw    t1, 0x00(t0)      PI_DRAM_ADDR = 0x400
        Lui(kT1, 0x1000),          // lui   t1, 0x1000
        Ori(kT1, kT1, 0x1000),     // ori   t1, t1, 0x1000
        Sw(kT1, 0x04, kT0),        // sw    t1, 0x04(t0)      PI_CART_ADDR = 0x10001000
        Lui(kT1, 0x000F),          // lui   t1, 0x000F
        Ori(kT1, kT1, 0xFFFF),     // ori   t1, t1, 0xFFFF
        Sw(kT1, 0x0C, kT0),        // sw    t1, 0x0C(t0)      PI_WR_LEN = length - 1: go
        // wait:
        Lw(kT1, 0x10, kT0),        // lw    t1, 0x10(t0)      PI_STATUS
        Andi(kT1, kT1, 3),         // andi  t1, t1, 3         DMA busy or I/O busy
        Bne(kT1, kZero, -3),       // bne   t1, zero, wait
        kNop,                      // nop                     (delay slot)
        // A video interrupt every frame (registers at 0xA4400000), which is
        // when the emulator saves and loads states.
        Lui(kT0, 0xA440),          // lui   t0, 0xA440        t0 = VI registers
        Ori(kT1, kZero, 525),      // ori   t1, zero, 525
        Sw(kT1, 0x18, kT0),        // sw    t1, 0x18(t0)      VI_V_SYNC = 525 half-lines
        Ori(kT1, kZero, 2),        // ori   t1, zero, 2
        Sw(kT1, 0x0C, kT0),        // sw    t1, 0x0C(t0)      VI_V_INTR = half-line 2
        // Run what was copied: the idle loop at the entry point.
        Lui(kT0, kEntryPoint >> 16),        // lui   t0, 0x8000
        Ori(kT0, kT0, kEntryPoint & 0xFFFF),  // ori   t0, t0, 0x0400
        Jr(kT0),                   // jr    t0
        kNop,                      // nop                     (delay slot)
    };
    // clang-format on
}

}  // namespace

std::array<uint32_t, 2> IdleLoop() {
    // Interrupts stay off, so nothing ever leaves the loop and it needs no
    // handler.
    return {mips::J(kEntryPoint),  // j     0x80000400
            mips::kNop};           // nop   (delay slot)
}

GeneratedCartridge GenerateCartridge(const StateOptions& options) {
    GeneratedCartridge cartridge;
    cartridge.memory.assign(kMemoryEnd, 0);
    const std::array<uint32_t, 2> idle = IdleLoop();
    PutBE32(cartridge.memory, kEntryPoint & 0xFFFFFF, idle[0]);
    PutBE32(cartridge.memory, (kEntryPoint & 0xFFFFFF) + 4, idle[1]);
    const GeneratedState planted =
        PlantTextureTable(cartridge.memory, options, kTableStart, kTextureTop);
    cartridge.textures = planted.textures;
    cartridge.tableStart = planted.tableStart;
    cartridge.tableEnd = planted.tableEnd;
    cartridge.tableRoot = planted.tableRoot;

    std::vector<uint8_t>& rom = cartridge.rom;
    rom.assign(kProgramStart + kProgramLength, 0);
    PutBE32(rom, 0x00, 0x80371240);  // .z64 byte order, PI timing
    PutBE32(rom, 0x04, 0x0000000F);  // clock rate
    PutBE32(rom, 0x08, kEntryPoint);
    PutBE32(rom, 0x0C, 0x00001444);  // release of the boot code
    // 0x10: the two checksums, which the emulator does not check; left 0.
    std::string name = options.gameName;
    name.resize(20, ' ');
    std::copy(name.begin(), name.end(), rom.begin() + 0x20);
    rom[0x3B] = 'N';  // media: cartridge
    rom[0x3C] = 'G';  // the game's two-letter code
    rom[0x3D] = 'E';
    rom[0x3E] = options.region == Region::Ntsc ? 'E' : options.region == Region::Pal ? 'P' : 'J';
    rom[0x3F] = 0;  // version

    const std::vector<uint32_t> boot = BootProgram();
    for (size_t i = 0; i < boot.size(); ++i) {
        PutBE32(rom, kBootCodeStart + 4 * i, boot[i]);
    }
    std::copy(cartridge.memory.begin() + (kEntryPoint & 0xFFFFFF), cartridge.memory.end(),
              rom.begin() + kProgramStart);
    return cartridge;
}

}  // namespace morvane::gen

// Writes the seed corpus of every harness with the engine's own writers: saves
// and objects of the game's levels, replay pairs, Variable records and texts,
// bitmaps (PNG and GIF ones by libpng and giflib), network packets and captured session streams, plus small game,
// level, WAVE and MIDI files written value by value. Run once by hand:
//   fuzz_seeds <folder>   (then copy what is useful into fuzz/corpus/)
#include <arpa/inet.h>
#include <gif_lib.h>
#include <netinet/in.h>
#include <png.h>
#include <sys/socket.h>
#include <unistd.h>

#include <csetjmp>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "../tests/runtime/LoaderWriter.h"
#include "FuzzSupport.h"
#include "foundation/File.h"
#include "foundation/Variable.h"
#include "input/RecordedInput.h"
#include "network/NetWire.h"
#include "platform/ImageEncoder.h"
#include "platform/NetPeer.h"
#include "platform/Surface.h"
#include "runtime/EngineGlobalsInternal.h"
#include "runtime/Game.h"
#include "runtime/GameNode.h"
#include "runtime/ReplayFileInternal.h"
#include "runtime/WholeFileInternal.h"
#include "sprites/SpriteListInternal.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
std::filesystem::path out;

Bytes ReadAll(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void Put(const std::string& reader, const std::string& leaf, const Bytes& bytes) {
    std::filesystem::create_directories(out / reader);
    std::ofstream(out / reader / leaf, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

Bytes Text(const std::string& s) { return Bytes(s.begin(), s.end()); }

// One object written alone, as the object graph stores it.
Bytes Written(node* object) {
    {
        File file("seed.obj", File::Writing);
        file.Write(object);
        file.Close();
    }
    return ReadAll("seed.obj");
}

void EnterLevel(int number) {
    pMainCharacter = nullptr;
    gNode->Empty();
    EmptyActorTable();
    gNode = Game::Search(number);
    gNode->Execute();
}

// Saves and objects of some of the game's levels.
void GameSeeds() {
    int objects = 0;
    for (int level : {1, 2, 3, 5, 8, 12, 17, 23, 30, 38}) {
        EnterLevel(level);
        myGame->SaveGame("seed.sav");
        myGame->RealSaveGame();
        Put("save", "level" + std::to_string(level) + ".sav", ReadAll("seed.sav"));
        std::vector<List*> lists{&gNode->Maps(), &gNode->Variables(), &gNode->Sounds(), &gNode->ParticleSystems()};
        for (int n = 0; n < GameNode::DisplayListCount; ++n) lists.push_back(&gNode->DisplayList(n));
        for (List* list : lists) {
            int taken = 0;
            for (node* n = list->Head(); !n->EOList() && taken < 2; n = n->Next(), ++taken)
                Put("objgraph", "object" + std::to_string(++objects) + ".bin", Written(n));
        }
    }
    EnterLevel(1);
}

void ReplaySeeds() {
    for (int frames : {0, 1, 5, 30}) {
        RecordedKeys keys;
        Array<unsigned char> flags;
        Array<MouseRelMove> moves;
        for (int f = 0; f < frames; ++f) {
            const unsigned char held = static_cast<unsigned char>(0xCB + f % 3);
            keys.Add(KeyboardInputKeys(&held, f % 2));
            flags.Add(static_cast<unsigned char>(f % 64));
            moves.Add(MouseRelMove{f, -f, f % 3});
        }
        PendingFile rep("seed.rep");
        if (ReplayFile::Write(rep, RecordedInput{&keys, &flags, &moves})) rep.Commit();
        myGame->SaveGame("seed.sar");
        myGame->RealSaveGame();
        Put("replay", "pair" + std::to_string(frames), ReadAll("seed.rep") + Text("QEL_PAIR") + ReadAll("seed.sar"));
    }
}

void VariableSeeds() {
    int n = 0;
    auto record = [&](Variable& v) {
        File file("seed.var", File::Writing);
        v.Save(file);
        file.Close();
        Put("variable", "record" + std::to_string(++n), Bytes{0} + ReadAll("seed.var"));
    };
    Variable number(12.5), integer(7), text("hello, world"), empty("");
    Variable pointer(static_cast<void*>(nullptr));
    text.Name("label");
    for (Variable* v : {&number, &integer, &text, &empty, &pointer}) record(*v);
    for (const char* t : {"one line", "two\r\nlines\r\n", "tab\there\n", "", "\xe9t\xe9"})
        Put("variable", "text" + std::to_string(++n), Bytes{1} + Text(t));
}

void BitmapSeeds() {
    int n = 0;
    for (int depth : {8, 16, 24, 32})
        for (auto [w, h] : {std::pair{1, 1}, std::pair{3, 2}, std::pair{17, 5}}) {
            auto surface = qel::Surface::Create(w, h, depth);
            surface->Fill(nullptr, 0x12345678u & (depth == 32 ? 0xFFFFFFFFu : (1u << depth) - 1));
            qel::SaveBmp24(*surface, "seed.bmp");
            Put("bitmap", "bmp" + std::to_string(++n) + ".bmp", ReadAll("seed.bmp"));
            if (depth == 32) {
                qel::SaveJpeg(*surface, "seed.jpg", 50);
                Put("bitmap", "jpg" + std::to_string(++n) + ".jpg", ReadAll("seed.jpg"));
            }
        }
}

struct PngSeed {
    const char* name;
    int colourType, depth;
    bool interlaced, transparency;
    bool ancillary = false;  // text (plain and compressed) and gamma chunks, which the decoder skips
};

// A 9 x 9 PNG of that layout: a palette of 2^depth entries, the first two
// with alpha in a tRNS chunk (or colour 1 transparent without a palette).
Bytes WritePng(const PngSeed& seed) {
    constexpr int Side = 9;
    const int channels = seed.colourType == PNG_COLOR_TYPE_RGB_ALPHA    ? 4
                         : seed.colourType == PNG_COLOR_TYPE_RGB        ? 3
                         : seed.colourType == PNG_COLOR_TYPE_GRAY_ALPHA ? 2
                                                                        : 1;
    Bytes out;
    std::vector<png_byte> row(std::size_t(Side * channels * (seed.depth == 16 ? 2 : 1)));
    std::vector<png_color> palette;
    for (int i = 0; seed.colourType == PNG_COLOR_TYPE_PALETTE && i < 1 << seed.depth; ++i)
        palette.push_back({png_byte(i), png_byte(255 - i), png_byte(i * 7)});
    const png_byte alphas[2] = {0, 128};
    const png_color_16 transparent{0, 1, 1, 1, 1};
    char title[] = "Title", art[] = "nolt art", comment[] = "Comment", description[] = "drawn by hand, frame by frame";
    png_text texts[2] = {};
    texts[0] = {PNG_TEXT_COMPRESSION_NONE, title, art, 0, 0, nullptr, nullptr};
    texts[1] = {PNG_TEXT_COMPRESSION_zTXt, comment, description, 0, 0, nullptr, nullptr};
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png)) != 0) {
        png_destroy_write_struct(&png, &info);
        return {};
    }
    png_set_write_fn(
        png, &out,
        [](png_structp p, png_bytep data, std::size_t size) {
            auto* bytes = static_cast<Bytes*>(png_get_io_ptr(p));
            bytes->insert(bytes->end(), data, data + size);
        },
        nullptr);
    png_set_IHDR(png, info, Side, Side, seed.depth, seed.colourType,
                 seed.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    if (!palette.empty()) png_set_PLTE(png, info, palette.data(), int(palette.size()));
    if (seed.transparency) png_set_tRNS(png, info, alphas, 2, &transparent);
    if (seed.ancillary) {
        png_set_text(png, info, texts, 2);
        png_set_gAMA(png, info, 0.45455);
    }
    png_write_info(png, info);
    png_set_packing(png);
    const int mask = seed.depth < 8 ? (1 << seed.depth) - 1 : 255;
    for (int pass = png_set_interlace_handling(png); pass > 0; --pass)
        for (int y = 0; y < Side; ++y) {
            for (std::size_t i = 0; i < row.size(); ++i) row[i] = png_byte(int(i * 31 + std::size_t(y) * 17) & mask);
            png_write_row(png, row.data());
        }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

struct GifSeed {
    const char* name;
    int screenWidth, screenHeight, left, top, width, height;
    bool interlaced;
    int transparentIndex;  // -1: none
};

// A GIF of that layout with an 8-colour table, as giflib writes it.
Bytes WriteGif(const GifSeed& seed) {
    Bytes out;
    int error = 0;
    GifFileType* gif = EGifOpen(
        &out,
        [](GifFileType* g, const GifByteType* data, int size) {
            auto* bytes = static_cast<Bytes*>(g->UserData);
            bytes->insert(bytes->end(), data, data + size);
            return size;
        },
        &error);
    GifColorType colours[8];
    for (int i = 0; i < 8; ++i) colours[i] = {GifByteType(i * 32), GifByteType(255 - i * 32), GifByteType(i * 9)};
    ColorMapObject* table = GifMakeMapObject(8, colours);
    EGifSetGifVersion(gif, true);
    EGifPutScreenDesc(gif, seed.screenWidth, seed.screenHeight, 8, 0, table);
    if (seed.transparentIndex >= 0) {
        const GraphicsControlBlock control{DISPOSAL_UNSPECIFIED, false, 0, seed.transparentIndex};
        GifByteType extension[4];
        EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, int(EGifGCBToExtension(&control, extension)), extension);
    }
    EGifPutImageDesc(gif, seed.left, seed.top, seed.width, seed.height, seed.interlaced, nullptr);
    std::vector<GifPixelType> line(std::size_t(seed.width));
    for (int y = 0; y < seed.height; ++y) {
        for (int x = 0; x < seed.width; ++x) line[std::size_t(x)] = GifPixelType((x + y * 3) % 8);
        EGifPutLine(gif, line.data(), seed.width);
    }
    EGifCloseFile(gif, &error);
    GifFreeMapObject(table);
    return out;
}

// Art as other programs write it: every PNG colour type at its smallest and
// largest depth, with transparency and interlacing, and GIFs with a
// transparent colour, an image placed on a larger screen and interlacing.
void PngAndGifSeeds() {
    const PngSeed pngs[] = {
        {"png-grey-1.png", PNG_COLOR_TYPE_GRAY, 1, false, false},
        {"png-grey-16-trns.png", PNG_COLOR_TYPE_GRAY, 16, false, true},
        {"png-grey-alpha-8.png", PNG_COLOR_TYPE_GRAY_ALPHA, 8, false, false},
        {"png-grey-alpha-16-interlaced.png", PNG_COLOR_TYPE_GRAY_ALPHA, 16, true, false},
        {"png-rgb-8-trns.png", PNG_COLOR_TYPE_RGB, 8, false, true},
        {"png-rgb-16-interlaced.png", PNG_COLOR_TYPE_RGB, 16, true, false},
        {"png-rgba-8.png", PNG_COLOR_TYPE_RGB_ALPHA, 8, false, false},
        {"png-rgba-8-text-gamma.png", PNG_COLOR_TYPE_RGB_ALPHA, 8, false, false, true},
        {"png-rgba-16.png", PNG_COLOR_TYPE_RGB_ALPHA, 16, false, false},
        {"png-rgba-8-interlaced.png", PNG_COLOR_TYPE_RGB_ALPHA, 8, true, false},
        {"png-palette-1.png", PNG_COLOR_TYPE_PALETTE, 1, false, false},
        {"png-palette-4-trns-interlaced.png", PNG_COLOR_TYPE_PALETTE, 4, true, true},
        {"png-palette-8-trns.png", PNG_COLOR_TYPE_PALETTE, 8, false, true},
    };
    for (const PngSeed& seed : pngs) Put("bitmap", seed.name, WritePng(seed));
    const GifSeed gifs[] = {
        {"gif-giflib-plain.gif", 5, 4, 0, 0, 5, 4, false, -1},
        {"gif-giflib-transparent.gif", 5, 4, 0, 0, 5, 4, false, 2},
        {"gif-giflib-placed.gif", 9, 7, 2, 1, 5, 4, false, 0},
        {"gif-giflib-interlaced.gif", 6, 11, 0, 0, 6, 11, true, 3},
    };
    for (const GifSeed& seed : gifs) Put("bitmap", seed.name, WriteGif(seed));
}

// A marker may follow any number of 0xFF fill bytes: JPEGs with fill before
// the first segment, before the frame header (which holds the size), and
// before every marker.
void JpegFillSeeds() {
    auto surface = qel::Surface::Create(17, 5, 32);
    surface->Fill(nullptr, 0x345678u);
    qel::SaveJpeg(*surface, "seed.jpg", 50);
    const Bytes plain = ReadAll("seed.jpg");
    auto filled = [&](auto wanted) {
        Bytes b(plain.begin(), plain.begin() + 2);  // start of image
        for (std::size_t at = 2; at < plain.size();) {
            if (plain[at] != 0xFF || at + 4 > plain.size()) {
                b.insert(b.end(), plain.begin() + std::ptrdiff_t(at), plain.end());
                break;
            }
            const std::uint8_t marker = plain[at + 1];
            if (wanted(at, marker)) b.insert(b.end(), 3, 0xFF);
            // The scan's entropy-coded data runs to the end: copied as it is.
            const std::size_t length = marker == 0xDA ? plain.size() - at : 2 + (plain[at + 2] << 8 | plain[at + 3]);
            b.insert(b.end(), plain.begin() + std::ptrdiff_t(at),
                     plain.begin() + std::ptrdiff_t(std::min(at + length, plain.size())));
            at += length;
        }
        return b;
    };
    Put("bitmap", "jpg-fill-first-segment.jpg", filled([](std::size_t at, std::uint8_t) { return at == 2; }));
    Put("bitmap", "jpg-fill-frame-header.jpg",
        filled([](std::size_t, std::uint8_t m) { return m == 0xC0 || m == 0xC2; }));
    Put("bitmap", "jpg-fill-every-marker.jpg", filled([](std::size_t, std::uint8_t) { return true; }));
}

// Palette bitmaps: colour tables of 1, 4 and 8-bit pictures, with a count of
// colours used or without, one cut short, and headers the palette reader
// passes over (an OS/2 core header, a version 4 header, 24 bits).
void PaletteSeeds() {
    auto bmp = [](std::uint32_t headerSize, std::uint16_t bits, std::uint32_t used, std::size_t tableEntries) {
        Bytes b(14 + headerSize + 4 * tableEntries + 4, 0);
        auto put = [&](std::size_t at, std::uint32_t v, int n) {
            for (int i = 0; i < n; ++i) b[at + std::size_t(i)] = std::uint8_t(v >> (8 * i));
        };
        b[0] = 'B';
        b[1] = 'M';
        put(2, std::uint32_t(b.size()), 4);
        put(10, std::uint32_t(14 + headerSize + 4 * tableEntries), 4);
        put(14, headerSize, 4);
        if (headerSize == 12) {
            put(18, 1, 2), put(20, 1, 2), put(22, 1, 2), put(24, bits, 2);
        } else {
            put(18, 1, 4), put(22, 1, 4), put(26, 1, 2), put(28, bits, 2), put(46, used, 4);
        }
        for (std::size_t i = 0; i < tableEntries; ++i) put(14 + headerSize + 4 * i, std::uint32_t(i * 0x010203u), 3);
        return b;
    };
    Put("palette", "one-bit.bmp", bmp(40, 1, 0, 2));
    Put("palette", "four-bit.bmp", bmp(40, 4, 0, 16));
    Put("palette", "eight-bit.bmp", bmp(40, 8, 0, 256));
    Put("palette", "eight-bit-16-used.bmp", bmp(40, 8, 16, 16));
    Put("palette", "eight-bit-300-used.bmp", bmp(40, 8, 300, 256));
    Bytes cut = bmp(40, 8, 0, 256);
    cut.resize(14 + 40 + 100);
    Put("palette", "eight-bit-table-cut-short.bmp", cut);
    Put("palette", "core-header.bmp", bmp(12, 8, 0, 256));
    Put("palette", "version-4-header.bmp", bmp(108, 8, 0, 256));
    Put("palette", "twenty-four-bit.bmp", bmp(40, 24, 0, 0));
}

void PacketSeeds() {
    int n = 0;
    auto put = [&](const Bytes& b) { Put("packets", "packet" + std::to_string(++n), b); };
    put(netwire::PlayerList({}));
    put(netwire::PlayerList({1, 2, 3}));
    for (std::uint8_t type : {NetPlayerChoice, NetPlayerAccepted, NetPlayerActive, NetPlayerResigned})
        put(netwire::IdPacket(type, 2));
    put(Bytes{NetSessionFull});
    put(netwire::FrameInput(3, {}));
    put(netwire::FrameInput(3, {{NetFrameMarker, {}}, {NetKeyEvents, {0x1E, 0x80}}, {NetMouseEvents, Bytes(12, 1)}}));
}

// What the peers of a real session say to each other, through a relay.
void SessionSeeds() {
    const qel::NetPeer::AppId app{'Q', 'E', 'L', 'F', 'U', 'Z', 'Z'};
    auto listenOn = [](std::uint16_t& port) {
        const int s = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof a;
        bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a);
        listen(s, 1);
        getsockname(s, reinterpret_cast<sockaddr*>(&a), &length);
        port = ntohs(a.sin_port);
        return s;
    };
    for (int packets : {0, 1, 3}) {
        std::uint16_t hostPort = 0, relayPort = 0;
        close(listenOn(hostPort));
        qel::NetPeer host(qel::NetPeerEvents{});
        host.Host(app, hostPort, "seed", "host", "127.0.0.1");
        const int relay = listenOn(relayPort);
        Bytes toHost, toJoiner;
        std::thread relaying([&] {
            const int joinerSide = accept(relay, nullptr, nullptr);
            const int hostSide = socket(AF_INET, SOCK_STREAM, 0);
            sockaddr_in a{};
            a.sin_family = AF_INET;
            a.sin_port = htons(hostPort);
            a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            connect(hostSide, reinterpret_cast<sockaddr*>(&a), sizeof a);
            auto pump = [](int from, int to, Bytes& log) {
                std::uint8_t b[4096];
                ssize_t n;
                while ((n = recv(from, b, sizeof b, 0)) > 0) {
                    log.insert(log.end(), b, b + n);
                    send(to, b, std::size_t(n), MSG_NOSIGNAL);
                }
                shutdown(to, SHUT_WR);
            };
            std::thread back(pump, hostSide, joinerSide, std::ref(toJoiner));
            pump(joinerSide, hostSide, toHost);
            back.join();
            close(joinerSide);
            close(hostSide);
        });
        {
            qel::NetPeer joiner(qel::NetPeerEvents{});
            joiner.Connect(app, "127.0.0.1", relayPort, "joiner");
            for (int p = 0; p < packets; ++p) {
                const Bytes packet = netwire::IdPacket(NetPlayerChoice, std::uint32_t(p + 1));
                joiner.SendTo(qel::NetPeer::AllPlayers, packet.data(), packet.size(), false);
                host.SendTo(qel::NetPeer::AllPlayers, packet.data(), packet.size(), false);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
            joiner.Close();
        }
        host.Close();
        relaying.join();
        close(relay);
        Put("session", "tohost" + std::to_string(packets), Bytes{0} + toHost);
        Put("session", "tojoiner" + std::to_string(packets), Bytes{1} + toJoiner);
    }
}

// Small files value by value: game files, level files, WAVE and MIDI.
void HandWrittenSeeds() {
    auto bytes = [](const LoaderWriter& w) { return Bytes(w.bytes.begin(), w.bytes.end()); };
    const LoaderWriter mode = LoaderWriter().I32(640).I32(480).I32(32).B(true).B(false);
    const LoaderWriter noLogic = LoaderWriter().I32(0).I32(0).I32(0).I32(0);
    LoaderWriter levels;
    levels.Behaviour({{0, 0, true}}).I32(1).I32(1).Str("Menu").U32(0).U32(0).U32(1).U32(1).Str("").Str("Title").I32(-1);
    Put("gamefile", "mode-only", bytes(mode));
    Put("gamefile", "no-levels",
        bytes(LoaderWriter(mode).Append(noLogic).Append(LoaderWriter().Behaviour().I32(0).Str("").I32(-1))));
    Put("gamefile", "one-level", bytes(LoaderWriter(mode).Append(noLogic).Append(levels)));

    LoaderWriter header;
    header.U32(0).U32(640).U32(480).U32(60).U32(0).B(false);
    for (int i = 0; i < 16; ++i) header.U8(std::uint8_t(i));
    header.U32(640).U32(480).U32(60).B(false).B(false);
    for (int i = 0; i < 12; ++i) header.F32(float(i * 8));
    header.Behaviour().Str("").I32(-1);
    const LoaderWriter emptyContents = LoaderWriter().B(false).I32(0).I32(0).I32(0).I32(0).I32(0).I32(0);
    Put("levelfile", "no-actors", bytes(LoaderWriter().I32(0).Append(header).Append(emptyContents)));
    Put("levelfile", "actors-only", bytes(LoaderWriter().I32(1).I32(0).I32(0)));

    auto le = [](Bytes& b, std::uint32_t v, int n) {
        for (int i = 0; i < n; ++i) b.push_back(std::uint8_t(v >> (8 * i)));
    };
    for (auto [channels, bits] : {std::pair{1, 8}, std::pair{2, 16}, std::pair{1, 16}}) {
        Bytes data(std::size_t(64 * channels * bits / 8), 0x40);
        Bytes wav = Text("RIFF");
        le(wav, std::uint32_t(36 + data.size()), 4);
        wav = wav + Text("WAVEfmt ");
        le(wav, 16, 4);
        le(wav, 1, 2);
        le(wav, std::uint32_t(channels), 2);
        le(wav, 22050, 4);
        le(wav, std::uint32_t(22050 * channels * bits / 8), 4);
        le(wav, std::uint32_t(channels * bits / 8), 2);
        le(wav, std::uint32_t(bits), 2);
        wav = wav + Text("data");
        le(wav, std::uint32_t(data.size()), 4);
        Put("wave", "pcm" + std::to_string(channels) + "x" + std::to_string(bits) + ".wav", wav + data);
    }

    auto be = [](Bytes& b, std::uint32_t v, int n) {
        for (int i = n - 1; i >= 0; --i) b.push_back(std::uint8_t(v >> (8 * i)));
    };
    for (int notes : {1, 4, 16}) {
        Bytes track{0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20, 0x00, 0xC0, 0x00};
        for (int i = 0; i < notes; ++i) {
            const std::uint8_t key = std::uint8_t(60 + i % 12);
            track.insert(track.end(), {0x00, 0x90, key, 0x60, 0x30, 0x80, key, 0x40});
        }
        track.insert(track.end(), {0x00, 0xFF, 0x2F, 0x00});
        Bytes midi = Text("MThd");
        be(midi, 6, 4);
        be(midi, 0, 2);
        be(midi, 1, 2);
        be(midi, 96, 2);
        midi = midi + Text("MTrk");
        be(midi, std::uint32_t(track.size()), 4);
        Put("midi", "notes" + std::to_string(notes) + ".mid", midi + track);
    }
}

}  // namespace

// The seed writer runs no harness; the support module wants these defined.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t*, std::size_t) { return 0; }
extern "C" int LLVMFuzzerInitialize(int*, char***) { return 0; }

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    out = std::filesystem::absolute(argv[1]);
    fuzz::StartSmallGame();
    GameSeeds();
    ReplaySeeds();
    VariableSeeds();
    BitmapSeeds();
    JpegFillSeeds();
    PngAndGifSeeds();
    PaletteSeeds();
    PacketSeeds();
    SessionSeeds();
    HandWrittenSeeds();
    return 0;
}

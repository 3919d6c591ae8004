// A game program's own saveable class, written to a file and read back the
// way a game keeps its data: the object the read returns is the program's,
// to use and delete after the file is closed.
#include <QelEngine.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>

namespace {

int destroyed = 0;

class Score : public node {
public:
    std::int32_t points = 0;
    Score* best = nullptr;  // another score, read with this one

    ~Score() override {
        ++destroyed;
        delete best;
    }
    void Save(File& file) override {
        file.Write(points);
        file.Write(best);
    }
    void Load(File& file) override {
        file.Read(points);
        node* read = nullptr;
        file.Read(read);
        if (read != nullptr && !file.Claim(read)) return;
        best = static_cast<Score*>(read);
    }
    const char* ClassName() const override { return "Score"; }
    static node* Make() { return new Score; }
};

CREATE scoreClass("Score", Score::Make);

}  // namespace

int main() {
    const std::string path =
        (std::filesystem::temp_directory_path() / ("readback-" + std::to_string(std::random_device{}()) + ".sco"))
            .string();
    {
        Score written;
        written.points = 120;
        written.best = new Score;
        written.best->points = 340;
        File out(path.c_str(), File::Writing);
        out.Write(&written);
        if (!out.Close()) return 1;
    }
    destroyed = 0;
    node* read = nullptr;
    {
        File in(path.c_str(), File::Reading);
        in.Read(read);
        if (in.HasError() || read == nullptr) return 2;
    }
    std::remove(path.c_str());
    if (destroyed != 0) return 3;  // the file must not have freed it
    auto* score = static_cast<Score*>(read);
    if (score->points != 120 || score->best == nullptr || score->best->points != 340) return 4;
    delete score;
    return destroyed == 2 ? 0 : 5;
}

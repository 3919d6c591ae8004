// The sprite-against-sprite walk of a frame step against the plain walk over
// every pair, one pair test at a time: on crowded random scenes (seeded)
// every sprite ends the frame with the same hits, in the same order, the same
// time of impact, surface struck and pushed direction; also when sprites move,
// change frames, come and go between two sprites' tests, as game code does.
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "CollisionFixture.h"

namespace {

class CollisionWalk : public CollisionTest {
protected:
    static constexpr int StretchActor = 14;  // animation 0: 96 x 16, animation 1: 16 x 88 reaching above its origin

    void SetUp() override {
        CollisionTest::SetUp();
        near = &NewMap(640, 480, 64, 37, 11);
        far = &NewMap(640, 480, 64, 300, 0);
        SpriteElem& stretch = SpriteList[StretchActor];
        stretch.AnimationCount = 2;
        stretch.Animations = new AnimationElem[2];
        const tagRECT boxes[] = {{0, 0, 95, 15}, {0, -40, 15, 47}};
        for (int a = 0; a < 2; ++a) {
            stretch.Animations[a].FrameCount = 1;
            stretch.Animations[a].Frames = new FrameElem[1];
            FrameElem& f = stretch.Animations[a].Frames[0];
            f.Width = 96;
            f.Height = 88;
            f.Box = boxes[a];
            f.hFBoundingBox();
            f.vFBoundingBox();
            f.hvFBoundingBox();
        }
    }

    void TearDown() override {
        SpriteList[StretchActor].Empty();
        CollisionTest::TearDown();
    }

    // A crowd on two maps: boxes, squares of segments and circles, moving
    // any way at any speed, some ghosts, reflectors, unused, inactive or in
    // other display lists; most check the others.
    std::vector<Sprite*> Scene(unsigned seed, int count, float spread, float fastest = 14) {
        std::mt19937 random(seed);
        auto uniform = [&random](float lo, float hi) { return std::uniform_real_distribution<float>(lo, hi)(random); };
        auto chance = [&random](int percent) { return int(random() % 100) < percent; };
        const int actors[] = {BoxActor, ShapeActor, CircleActor, StretchActor};
        std::vector<Sprite*> crowd;
        for (int i = 0; i < count; ++i) {
            Map* map = chance(85) ? near : far;
            const int actor = actors[random() % 4];
            Sprite* s = Add(("s" + std::to_string(i)).c_str(), actor, map, uniform(0, spread), uniform(0, spread),
                            actor == BoxActor || chance(20));
            s->ActivateCollisionWithSprite(!chance(10));
            s->CheckCollisionWithSprite(chance(70));
            s->CheckSameDisplayList(chance(80));
            s->GhostCollisionWithSprite(chance(10));
            s->Reflection(chance(30));
            if (chance(5)) s->Unused(true);
            const int list = int(random() % 3);
            if (list != 0) {
                level.DisplayList(0).remove(s);
                level.DisplayList(list).add(s);
                s->DisplayListNumber(list);
            }
            const float angle = uniform(0, 6.2831853f);
            Aim(s, std::cos(angle), std::sin(angle), chance(10) ? 0.0f : uniform(0.5f, fastest));
            crowd.push_back(s);
        }
        return crowd;
    }

    // The frame step's sprite tests for each map, sprites in display-list
    // order, each reset just before its own tests; before each, meddle(s)
    // may change any sprite but s, and with moving set each sprite moves
    // after its tests.
    template <class Test, class Meddle>
    void Frame(Test test, Meddle meddle, bool moving) {
        ++gameLoopCounter;
        for (Map* map : {near, far})
            for (int n = 0; n < GameNode::DisplayListCount; ++n)
                for (node* p = level.DisplayList(n).Head(); !p->EOList(); p = p->Next()) {
                    Sprite& s = *static_cast<Sprite*>(p);
                    if (s.BelongToMapPtr() != map || s.Unused()) continue;
                    meddle(s);
                    s.ResetCollisionState(true);
                    test(s, map);
                    if (!moving) continue;
                    s.UpdateTranslation();
                    s.UpdateSprite();
                    s.GetTranslation();
                }
    }

    template <class Test>
    void Frame(Test test) {
        Frame(
            test, [](Sprite&) {}, false);
    }

    // What game code does between two sprites' tests, drawn from `random`:
    // moves, new frames, actors and flips, switches, sprites made, removed or
    // put in another list. Never to `current`, whose walk is under way.
    // Without comeAndGo, sprites are not made, removed or put in other lists.
    void Meddle(std::mt19937& random, std::vector<Sprite*>& crowd, Sprite& current, float spread, bool comeAndGo) {
        auto uniform = [&random](float lo, float hi) { return std::uniform_real_distribution<float>(lo, hi)(random); };
        if (random() % 3 != 0) return;
        const std::size_t i = random() % crowd.size();
        Sprite* v = crowd[i];
        const unsigned what = random() % (comeAndGo ? 11 : 8);
        if (!v || v == &current) return;
        switch (what) {
            case 0: v->MapPosition(uniform(0, spread), uniform(0, spread), false); break;
            case 1: v->MapPositionXInc(uniform(0, 24), 1e6f, false); break;
            case 2: v->WorldPosition(uniform(0, spread), uniform(0, spread), false); break;
            case 3:
                // Only the stretched actor has a second animation, of another size.
                if (v->ActorIndex() == StretchActor) v->Animation(int(random() % 2));
                break;
            case 4: v->ActorIndex(int(BoxActor + random() % 4)); break;
            case 5:
                v->HFlip(random() % 2 == 0);
                v->VFlip(random() % 2 == 0);
                v->GetTranslation();
                break;
            case 6: v->Unused(!v->Unused()); break;
            case 7: v->CollisionType(!v->CollisionType()); break;
            case 8: {
                const std::string name = "new" + std::to_string(crowd.size());
                Sprite* made =
                    Add(name.c_str(), StretchActor, v->BelongToMapPtr(), uniform(0, spread), uniform(0, spread), false);
                made->ActivateCollisionWithSprite(true);
                made->CheckCollisionWithSprite(true);
                Aim(made, 1, 0, uniform(1, 9));
                crowd.push_back(made);
                break;
            }
            case 9: {
                List& list = level.DisplayList(v->DisplayListNumber());
                // The walk goes on from the current sprite's successor.
                if (current.Next() == v) return;
                v->RemoveFrom(list);
                crowd[i] = nullptr;
                break;
            }
            default: {
                if (current.Next() == v) return;
                level.DisplayList(v->DisplayListNumber()).remove(v);
                const int list = int(random() % 3);
                level.DisplayList(list).add(v);
                v->DisplayListNumber(list);
                break;
            }
        }
    }

    // Every pair the frame step names, tested one by one.
    void AllPairs(Sprite& s, Map* map) {
        if (!s.CheckCollisionWithSprite() || !s.ActivateCollisionWithSprite()) return;
        for (int n = 0; n < GameNode::DisplayListCount; ++n) {
            if (n == s.DisplayListNumber() && !s.CheckSameDisplayList()) continue;
            for (node* p = level.DisplayList(n).Head(); !p->EOList(); p = p->Next()) {
                Sprite* other = static_cast<Sprite*>(p);
                if (other == &s || !other->ActivateCollisionWithSprite() || other->Unused()) continue;
                if (other->BelongToMapPtr() != map) continue;
                sprites::CheckSpriteCollision(s, other);
            }
        }
    }

    // What a frame left on each sprite, sprites named by their place in the crowd.
    static std::vector<std::string> Outcome(const std::vector<Sprite*>& crowd) {
        auto indexOf = [&crowd](const Sprite* s) {
            for (std::size_t i = 0; i < crowd.size(); ++i)
                if (crowd[i] == s) return int(i);
            return -1;
        };
        std::vector<std::string> out;
        for (Sprite* s : crowd) {
            if (!s) {
                out.push_back("removed");
                continue;
            }
            std::ostringstream o;
            o.precision(9);
            o << "factor " << s->CollisionFactor() << " names";
            for (unsigned i = 0; i < s->spriteNamesHit.Size(); ++i)
                o << ' ' << static_cast<const char*>(s->spriteNamesHit[i]);
            o << " sprites";
            for (unsigned i = 0; i < s->spritesHit.Size(); ++i) o << ' ' << indexOf(s->spritesHit[i]);
            o << " own";
            for (unsigned i = 0; i < s->ownShapesHit.Size(); ++i) o << ' ' << s->ownShapesHit[i];
            o << " theirs";
            for (unsigned i = 0; i < s->otherShapesHit.Size(); ++i) o << ' ' << s->otherShapesHit[i];
            const CollisionSegment& hit = s->LastHitSegment();
            o << " surface " << hit.OriginX() << ',' << hit.OriginY() << ' ' << hit.DirectionX() << ','
              << hit.DirectionY() << ' ' << hit.NormalX() << ',' << hit.NormalY();
            o << " direction " << s->DirectionX() << ',' << s->DirectionY();
            o << " at " << s->mapX << ',' << s->mapY;
            out.push_back(o.str());
        }
        return out;
    }

    void ClearScene() {
        for (int n = 0; n < GameNode::DisplayListCount; ++n) level.DisplayList(n).del();
    }

    Map* near = nullptr;
    Map* far = nullptr;
};

TEST_F(CollisionWalk, MatchesTestingEveryPair) {
    struct Case {
        unsigned seed;
        int count;
        float spread;  // side of the square the crowd stands in
    };
    const Case cases[] = {{1, 40, 120}, {2, 60, 200}, {3, 80, 400}, {4, 120, 600}, {5, 30, 60}};
    for (const Case& c : cases) {
        std::vector<Sprite*> crowd = Scene(c.seed, c.count, c.spread);
        Frame([this](Sprite& s, Map* map) { sprites::CheckSpriteCollisions(s, map); });
        const std::vector<std::string> walked = Outcome(crowd);
        ClearScene();
        crowd = Scene(c.seed, c.count, c.spread);
        Frame([this](Sprite& s, Map* map) { AllPairs(s, map); });
        const std::vector<std::string> paired = Outcome(crowd);
        ClearScene();
        int hits = 0;
        for (std::size_t i = 0; i < walked.size(); ++i) {
            EXPECT_EQ(walked[i], paired[i]) << "seed " << c.seed << " sprite " << i;
            hits += paired[i].find("names s") != std::string::npos;
        }
        // A scene where nobody meets would compare nothing.
        EXPECT_GT(hits, c.count / 4) << "seed " << c.seed;
    }
}

TEST_F(CollisionWalk, MatchesTestingEveryPairWhileSpritesMove) {
    struct Case {
        unsigned seed;
        int count;
        float spread;
        bool comeAndGo;  // sprites made, removed and put in other lists too
    };
    const Case cases[] = {
        {11, 60, 200, true}, {12, 90, 400, true}, {13, 40, 120, true}, {14, 80, 300, false}, {15, 120, 500, false}};
    constexpr int frames = 6;
    for (const Case& c : cases) {
        std::vector<std::vector<std::string>> outcomes[2];
        for (int pass = 0; pass < 2; ++pass) {
            // Fast enough to cross several sprites' widths in a frame.
            std::vector<Sprite*> crowd = Scene(c.seed, c.count, c.spread, 80);
            std::mt19937 meddling(c.seed * 7919u);
            auto meddle = [&](Sprite& current) { Meddle(meddling, crowd, current, c.spread, c.comeAndGo); };
            for (int f = 0; f < frames; ++f) {
                if (pass == 0)
                    Frame([](Sprite& s, Map* map) { sprites::CheckSpriteCollisions(s, map); }, meddle, true);
                else
                    Frame([this](Sprite& s, Map* map) { AllPairs(s, map); }, meddle, true);
                outcomes[pass].push_back(Outcome(crowd));
            }
            ClearScene();
        }
        for (int f = 0; f < frames; ++f) {
            ASSERT_EQ(outcomes[0][f].size(), outcomes[1][f].size()) << "seed " << c.seed << " frame " << f;
            int hits = 0;
            for (std::size_t i = 0; i < outcomes[0][f].size(); ++i) {
                EXPECT_EQ(outcomes[0][f][i], outcomes[1][f][i])
                    << "seed " << c.seed << " frame " << f << " sprite " << i;
                hits += outcomes[1][f][i].find("names s") != std::string::npos;
            }
            EXPECT_GT(hits, c.count / 5) << "seed " << c.seed << " frame " << f;
        }
    }
}

}  // namespace

// The sprite-against-sprite walk of a frame step against the plain walk over
// every pair, one pair test at a time: on crowded random scenes (seeded)
// every sprite ends the frame with the same hits, in the same order, the same
// time of impact, surface struck and pushed direction.
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "CollisionFixture.h"

namespace {

class CollisionWalk : public CollisionTest {
protected:
    void SetUp() override {
        CollisionTest::SetUp();
        near = &NewMap(640, 480, 64, 37, 11);
        far = &NewMap(640, 480, 64, 300, 0);
    }

    // A crowd on two maps: boxes, squares of segments and circles, moving
    // any way at any speed, some ghosts, reflectors, unused, inactive or in
    // other display lists; most check the others.
    std::vector<Sprite*> Scene(unsigned seed, int count, float spread) {
        std::mt19937 random(seed);
        auto uniform = [&random](float lo, float hi) { return std::uniform_real_distribution<float>(lo, hi)(random); };
        auto chance = [&random](int percent) { return int(random() % 100) < percent; };
        const int actors[] = {BoxActor, ShapeActor, CircleActor};
        std::vector<Sprite*> crowd;
        for (int i = 0; i < count; ++i) {
            Map* map = chance(85) ? near : far;
            const int actor = actors[random() % 3];
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
            Aim(s, std::cos(angle), std::sin(angle), chance(10) ? 0.0f : uniform(0.5f, 14.0f));
            crowd.push_back(s);
        }
        return crowd;
    }

    // The frame step's sprite tests for each map, sprites in display-list
    // order, each reset just before its own tests.
    template <class Test>
    void Frame(Test test) {
        for (Map* map : {near, far})
            for (int n = 0; n < GameNode::DisplayListCount; ++n)
                for (node* p = level.DisplayList(n).Head(); !p->EOList(); p = p->Next()) {
                    Sprite& s = *static_cast<Sprite*>(p);
                    if (s.BelongToMapPtr() != map || s.Unused()) continue;
                    s.ResetCollisionState(true);
                    test(s, map);
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
            std::ostringstream o;
            o.precision(9);
            o << "factor " << s->CollisionFactor() << " names";
            for (unsigned i = 0; i < s->spriteNamesHit.Size(); ++i) o << ' ' << static_cast<const char*>(s->spriteNamesHit[i]);
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

}  // namespace

// wind_test.cpp -- the wind step of every mode, the per-blade wind vector and the bending.
#include <cmath>

#include <gtest/gtest.h>

#include "grass/grass_field.h"
#include "wind/displacement.h"
#include "wind/wind.h"

namespace {

class Wind : public ::testing::Test {
protected:
    void SetUp() override
    {
        windSettings = initialWindSettings;
        windState = WindState{};
    }
    // Places blade i's foot at centred-frame position (x, y).
    static void PlaceFoot(int i, float x, float y)
    {
        grassField.baseX[i] = x + 5.12f;
        grassField.baseY[i] = y + 5.12f;
    }
};

bool Finite(Vec3 v)
{
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

}

TEST_F(Wind, SteadyInitialVectorAndLowestExponent)
{
    windSettings.mode = Steady;
    AdvanceWind();
    Vec3 w = BladeWindVector(0);
    EXPECT_EQ(w.x, 0.0f);
    EXPECT_FLOAT_EQ(w.y, 30.562153f);
    EXPECT_EQ(w.z, 0.0f);

    windSettings.bendExponent = windSettings.bendExponentMin;
    AdvanceWind();
    EXPECT_FLOAT_EQ(windState.bendRadius, 1.1864767f);
}

TEST_F(Wind, GustingSwingsBetweenSetValueAndCalmEnd)
{
    windSettings.mode = Gusting;
    // At the upper bound there is nothing to swing.
    AdvanceWind();
    EXPECT_FLOAT_EQ(windState.bendRadius, 30.562153f);

    windState.gustPhase = 0.0f;
    windSettings.bendExponent = windSettings.bendExponentMin;
    float smallest = 1e9f, largest = 0.0f;
    for (int step = 1; step <= 100; step++) {
        AdvanceWind();
        smallest = std::min(smallest, windState.bendRadius);
        largest = std::max(largest, windState.bendRadius);
        ASSERT_NE(windState.gustPhase, 0.5497787f) << "wrapped early, at step " << step;
    }
    // The 101st step finds 0.2 x phase at 2 pi and restarts the phase at 7 pi / 40, not 0.
    AdvanceWind();
    EXPECT_EQ(windState.gustPhase, 0.5497787f);
    EXPECT_GE(smallest, 1.1864767f * 0.999f);
    EXPECT_LE(largest, 30.562153f * 1.001f);
    EXPECT_LT(smallest, 2.0f);
    EXPECT_GT(largest, 25.0f);

    // Step by step: E' = E + h + h sin(f phi) with h half the way to the calm end and phi the
    // phase before the step.
    windState.gustPhase = 0.0f;
    windSettings.bendExponent = 10.0f;
    const double h = (double(windSettings.bendExponentMax) - 10.0) * 0.5;
    for (int step = 1; step <= 40; step++) {
        const double phase = windState.gustPhase;
        AdvanceWind();
        const double exponent = 10.0 + h + h * std::sin(0.2 * phase);
        ASSERT_NEAR(windState.bendRadius / std::pow(1.115, exponent), 1.0, 1e-5) << "step " << step;
    }
    EXPECT_NEAR(windState.gustPhase, 40 * Pi / 10.0f, 1e-4);
}

TEST_F(Wind, GustingFrequencyZeroAndBelow)
{
    windSettings.mode = Gusting;
    windSettings.bendExponent = windSettings.bendExponentMin;
    windSettings.frequency = 0.0f;
    float midpoint = Powf(1.115f, (windSettings.bendExponentMin + windSettings.bendExponentMax) / 2.0f);
    for (int step = 0; step < 300; step++) {
        AdvanceWind();
        ASSERT_FLOAT_EQ(windState.bendRadius, midpoint);
    }
    EXPECT_GT(windState.gustPhase, 90.0f);

    // One step below zero the wrap test never fires.
    windSettings.frequency = 0.2f - 32 * (Pi / 500.0f);
    windState.gustPhase = 0.0f;
    for (int step = 0; step < 500; step++) {
        AdvanceWind();
        ASSERT_NE(windState.gustPhase, 0.5497787f);
    }
}

TEST_F(Wind, VortexTurnsAndWrapsOnePlainStepFromZero)
{
    windSettings.mode = Vortex;
    float step = float(double(Pi / 10.0f) * 0.2f);
    for (int i = 1; i <= 100; i++) {
        AdvanceWind();
        ASSERT_LT(windSettings.direction, 2.0f * Pi + step) << i;
    }
    EXPECT_GE(windSettings.direction, 2.0f * Pi);
    AdvanceWind();
    EXPECT_EQ(windSettings.direction, step);

    // The vector of a step is taken before the step turns the direction.
    windSettings.direction = Pi / 2.0f;
    AdvanceWind();
    EXPECT_FLOAT_EQ(windState.dirX, 1.0f);

    // Frequency zero stands still; below zero turns backwards without wrapping.
    windSettings.frequency = 0.0f;
    float before = windSettings.direction;
    AdvanceWind();
    EXPECT_EQ(windSettings.direction, before);
    windSettings.frequency = -0.0010619f;
    windSettings.direction = 0.0f;
    for (int i = 0; i < 1000; i++) {
        AdvanceWind();
    }
    EXPECT_LT(windSettings.direction, -0.3f);
}

TEST_F(Wind, DummyRadiusGrowsWithDistanceUpToTheCap)
{
    windSettings.mode = Dummy;
    AdvanceWind();
    PlaceFoot(0, 0.0f, 0.0f);
    PlaceFoot(1, 0.1f, 0.0f);
    PlaceFoot(2, 0.0f, 0.2f);
    PlaceFoot(3, 4.0f, 3.0f);
    EXPECT_NEAR(BladeWindVector(0).y, 30.562153f, 1e-4);
    EXPECT_NEAR(BladeWindVector(1).y, 43.02f, 0.01);
    EXPECT_EQ(BladeWindVector(2).y, 50.0f);
    EXPECT_EQ(BladeWindVector(3).y, 50.0f);
    // The set direction, not the foot's, decides where a Dummy blade bends.
    EXPECT_EQ(BladeWindVector(3).x, 0.0f);
}

TEST_F(Wind, DummyBlastPointsAwayFromTheRing)
{
    windSettings.mode = DummyBlast;
    windSettings.dummyCentreX = 1.0f;
    windSettings.dummyCentreY = -2.0f;
    windSettings.dummyRadius = 3.0f;
    AdvanceWind();
    PlaceFoot(0, 1.0f + 0.3f, -2.0f + 0.4f);
    PlaceFoot(1, 1.0f - 0.3f, -2.0f - 0.4f);
    Vec3 a = BladeWindVector(0), b = BladeWindVector(1);
    EXPECT_GT(a.x, 0.0f);
    EXPECT_GT(a.y, 0.0f);
    EXPECT_NEAR(a.x, -b.x, 1e-3);
    EXPECT_NEAR(a.y, -b.y, 1e-3);
    EXPECT_NEAR(std::hypot(a.x, a.y), std::hypot(b.x, b.y), 1e-3);
    EXPECT_NEAR(a.x / a.y, 0.75f, 1e-3);

    // A foot on the centre (up to float rounding) gets a finite vector of the centre's radius.
    windSettings.dummyCentreX = 0.0f;
    windSettings.dummyCentreY = 0.0f;
    windSettings.dummyRadius = 1.0f;
    PlaceFoot(2, 0.0f, 0.0f);
    Vec3 c = BladeWindVector(2);
    EXPECT_TRUE(Finite(c));
    EXPECT_NEAR(std::hypot(c.x, c.y), 30.562153f, 1e-3);
}

TEST_F(Wind, DisplaceVertexKnownResults)
{
    const Vec3 p = {0.1f, 0.2f, 4.0f};
    windSettings.mode = Steady;
    Vec3 a = DisplaceVertex(p, Vec3{0.0f, 30.562153f, 0.0f}, 0, 4.0f);
    EXPECT_FLOAT_EQ(a.x, 0.1f);
    EXPECT_FLOAT_EQ(a.y, 0.4613888f);
    EXPECT_FLOAT_EQ(a.z, 3.9885902f);

    // Past half a circle the vertex lies in the foot's plane.
    Vec3 b = DisplaceVertex(p, Vec3{0.0f, 1.1864767f, 0.0f}, 0, 4.0f);
    EXPECT_FLOAT_EQ(b.x, 0.1f);
    EXPECT_FLOAT_EQ(b.y, 2.5417812f);
    EXPECT_EQ(b.z, 0.0f);

    Vec3 c = DisplaceVertex(p, Vec3{30.562153f, -1.3e-6f, 0.0f}, 0, 4.0f);
    EXPECT_FLOAT_EQ(c.x, 0.3613888f);
    EXPECT_NEAR(c.y, 0.2f, 1e-6);
    EXPECT_FLOAT_EQ(c.z, 3.9885902f);

    windSettings.mode = Vortex;
    grassField.baseX[7] = 5.12f;
    grassField.baseY[7] = 5.12f;
    Vec3 d = DisplaceVertex(p, Vec3{0.0f, 30.562153f, 0.0f}, 7, 4.0f);
    EXPECT_FLOAT_EQ(d.x, 0.1f);
    EXPECT_FLOAT_EQ(d.y, 0.7301809f);
    EXPECT_FLOAT_EQ(d.z, 3.9527612f);
}

TEST_F(Wind, DisplaceVertexLimits)
{
    windSettings.mode = Steady;
    const Vec3 w = {3.0f, 4.0f, 0.0f};
    // No arc, no offset.
    Vec3 foot = DisplaceVertex(Vec3{0.1f, 0.2f, 9.0f}, w, 0, 0.0f);
    EXPECT_EQ(foot.x, 0.1f);
    EXPECT_EQ(foot.y, 0.2f);
    EXPECT_EQ(foot.z, 0.0f);
    // pz is not read.
    Vec3 a = DisplaceVertex(Vec3{0.1f, 0.2f, 1.0f}, w, 0, 2.5f);
    Vec3 b = DisplaceVertex(Vec3{0.1f, 0.2f, -7.0f}, w, 0, 2.5f);
    EXPECT_EQ(a.x, b.x);
    EXPECT_EQ(a.y, b.y);
    EXPECT_EQ(a.z, b.z);
    // A very long vector leaves the blade nearly unbent.
    Vec3 calm = DisplaceVertex(Vec3{0.1f, 0.2f, 4.0f}, Vec3{0.0f, 1e6f, 0.0f}, 0, 4.0f);
    EXPECT_NEAR(calm.x, 0.1f, 1e-6);
    EXPECT_NEAR(calm.y, 0.2f, 1e-4);
    EXPECT_NEAR(calm.z, 4.0f, 1e-4);
    // Never below the foot, for every arc length around the circle.
    for (float s = 0.0f; s < 40.0f; s += 0.37f) {
        ASSERT_GE(DisplaceVertex(Vec3{0, 0, 0}, w, 0, s).z, 0.0f) << s;
    }
}

TEST_F(Wind, VortexFootOnThePointStaysFinite)
{
    windSettings.mode = Vortex;
    const Vec3 w = {1.5f, -2.0f, 0.0f};
    grassField.baseX[3] = 1.5f + 5.12f;
    grassField.baseY[3] = -2.0f + 5.12f;
    // The foot lies on the point up to the rounding of the stored floats.
    ASSERT_LT(std::hypot(double(grassField.baseX[3]) - w.x - 5.12, double(grassField.baseY[3]) - w.y - 5.12), 1e-6);
    for (float s : {0.0f, 1.5f, 4.0f}) {
        EXPECT_TRUE(Finite(DisplaceVertex(Vec3{0.1f, 0.2f, s}, w, 3, s))) << s;
    }
}

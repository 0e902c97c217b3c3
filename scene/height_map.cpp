// height_map.cpp -- the height map loader, its sampling and the terrain mesh.
#include "scene/height_map.h"

#include <cstdio>

#include "platform/gl_access.h"

#include "app/messages.h"

unsigned char heightMap[HeightMapSize];

void LoadHeightMap(const char *fileName, int byteCount, unsigned char *destination)
{
    FILE *file = std::fopen(fileName, "rb");
    if (!file) {
        ShowMessage("Error", "Konnte die Height Map nicht finden!", BoxIcon::None);
        return;
    }
    const size_t read = std::fread(destination, 1, size_t(byteCount), file);
    if (std::ferror(file)) {
        ShowMessage("Error", "Daten konnten nicht geholt werden!!", BoxIcon::None);
    } else if (read < size_t(byteCount)) {
        // The ground is drawn all the same, the tail keeping its previous contents, but the user
        // is told that the file is not a whole map.
        ShowMessage("Error", shortHeightMapMessage, BoxIcon::None);
    } else if (std::fgetc(file) != EOF) {
        ShowMessage("Error", longHeightMapMessage, BoxIcon::None);
    }
    std::fclose(file);
}

int HeightAt(const unsigned char *map, int x, int y)
{
    if (!map) {
        return 0;
    }
    // The truncating remainder of a negative coordinate is negative: fold it back into the map.
    x %= HeightMapSide;
    y %= HeightMapSide;
    if (x < 0) {
        x += HeightMapSide;
    }
    if (y < 0) {
        y += HeightMapSide;
    }
    return map[y * HeightMapSide + x];
}

void SetTerrainColour(const unsigned char *map, int x, int y)
{
    if (!map) {
        return;
    }
    float c = float(HeightAt(map, x, y)) / 256.0f;
    glColor3f(c, c, 0.0f);
}

static void TerrainCorner(const unsigned char *map, int x, int y)
{
    int h = HeightAt(map, x, y);
    SetTerrainColour(map, x, y);
    glVertex3f(float(x), float(y), float(h));
}

void DrawTerrain(const unsigned char *map)
{
    if (!map) {
        return;
    }
    const int step = 16;
    const int limit = HeightMapSide - step;
    glBegin(GL_QUADS);
    for (int x = 0; x < limit; x += step) {
        for (int y = 0; y < limit; y += step) {
            TerrainCorner(map, x, y);
            TerrainCorner(map, x, y + step);
            TerrainCorner(map, x + step, y + step);
            TerrainCorner(map, x + step, y);
        }
    }
    glEnd();
}

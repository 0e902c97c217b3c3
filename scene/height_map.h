// height_map.h -- the ground's height map: loading, sampling with wrap-around, the terrain mesh.
#pragma once

constexpr int HeightMapSide = 1024;
constexpr int HeightMapSize = HeightMapSide * HeightMapSide;

// Row-major samples: column x of row y lies at y * 1024 + x. Zero until the first load.
extern unsigned char heightMap[HeightMapSize];

// What the user is told of a file that is not one whole map; the program goes on with it.
constexpr const char *shortHeightMapMessage = "Die Height Map ist zu kurz (weniger als 1048576 Bytes)!";
constexpr const char *longHeightMapMessage = "Die Height Map ist zu lang (mehr als 1048576 Bytes)!";

// Reads up to byteCount bytes of the file into destination; reports a missing file, a read error,
// a short and a long file, and leaves whatever was not read as it was.
void LoadHeightMap(const char *fileName, int byteCount, unsigned char *destination);

// The sample at (x, y), both wrapped into 0 to 1023; 0 for a null map.
int HeightAt(const unsigned char *map, int x, int y);

// Sets the GL colour to a yellow as bright as the sample.
void SetTerrainColour(const unsigned char *map, int x, int y);

// The ground as 63 x 63 coloured quads in height-map units.
void DrawTerrain(const unsigned char *map);

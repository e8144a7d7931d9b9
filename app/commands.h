// Command numbers of the menu items and of their toolbar aliases.
#pragma once

namespace solvane::command {

constexpr int Open = 40007;
constexpr int Close = 40008;
constexpr int SaveAllSettings = 40009;
constexpr int Quit = 40010;
constexpr int Axes = 40015;
constexpr int PivotPoint = 40016;
constexpr int HiddenLines = 40019;
constexpr int ZoomDependentRotation = 40020;
constexpr int Spin = 40021;
constexpr int PivotMass = 40023;
constexpr int PivotOrigin = 40024;
constexpr int BoundingBox = 40025;
constexpr int Wireframe = 40027;
constexpr int Solid = 40028;
constexpr int About = 40030;
constexpr int DepthCueOff = 40051;  // 40051..40061: the depth-cueing entries
constexpr int DepthCue99 = 40061;
constexpr int MaterialDialog = 40062;
constexpr int BackgroundColor = 40063;
constexpr int SaveSettingsOnExit = 40067;
constexpr int Lighting = 40096;
constexpr int Texturing = 40103;
constexpr int FlyMode = 40110;
constexpr int ResetView = 40111;
constexpr int AlwaysOnTop = 40113;
constexpr int InvertNormals = 40136;
constexpr int GammaCorrection = 40169;
constexpr int DepthCueColor = 40173;
constexpr int RotateMode = 40215;
constexpr int GenerateLightData = 40218;
constexpr int Culling = 40219;
constexpr int QualityMinimal = 40227;
constexpr int QualityVeryLow = 40228;
constexpr int QualityNormal = 40229;
constexpr int QualityLow = 40230;
constexpr int Triangulate = 40233;
constexpr int QualityVeryHigh = 40235;
constexpr int QualityHigh = 40236;
constexpr int PivotCenter = 40238;
constexpr int HardwareReport = 40242;

// Toolbar buttons (aliases of menu commands).
constexpr int ButtonOpen = 1;
constexpr int ButtonClose = 2;
constexpr int ButtonWire = 3;
constexpr int ButtonLine = 4;
constexpr int ButtonSolid = 5;
constexpr int ButtonMaterial = 6;
constexpr int ButtonBackground = 7;
constexpr int ButtonAxes = 8;
constexpr int ButtonBox = 9;
constexpr int ButtonPivot = 10;
constexpr int ButtonSpin = 11;
constexpr int ButtonTexture = 13;
constexpr int ButtonLight = 16;
constexpr int ButtonRotate = 17;
constexpr int ButtonFly = 18;

// The menu command a toolbar alias stands for (the number itself for menu commands).
int MenuCommandOf(int command);

}  // namespace solvane::command

// Placeholder translation unit so the layer links before its services land.
namespace dorvik::platform {}

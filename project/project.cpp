// Placeholder until this layer's services land.
namespace dorvik::project {}

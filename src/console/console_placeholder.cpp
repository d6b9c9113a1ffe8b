// Placeholder so that traklin_ui has a source until the windows land.
namespace traklin {
int ConsolePlaceholder() { return 0; }
}  // namespace traklin

#pragma once
// Which of SDL's renderers draws the game's picture into its window.
struct SDL_Renderer;
struct SDL_Window;

namespace vonkel {

// A graphics-hardware renderer where there is one, else SDL's software
// renderer, else any renderer SDL can make for the window (see the .cpp);
// one named in SDL_RENDER_DRIVER is taken as it is. Null when none can be made.
SDL_Renderer* createRenderer(SDL_Window* window);

}  // namespace vonkel

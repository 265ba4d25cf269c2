// Thistledown Beekeepers: marks the navigation link of the page being read.
document.addEventListener("DOMContentLoaded", function () {
    var here = location.pathname.split("/").pop() || "index.html";
    var links = document.querySelectorAll("nav a");
    for (var i = 0; i < links.length; i++) {
        if (links[i].getAttribute("href") === here) {
            links[i].style.fontWeight = "bold";
        }
    }
});

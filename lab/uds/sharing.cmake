# Device sharing (sharing*.cpp) speaks the lab framing and the driver's records.
target_link_libraries(vx-uds PRIVATE vx_busdriver vx_lab_channel vx_lab_common)
# Device profiles of the lab's Plug and Play (lab/pnp).
target_link_libraries(vx-uds PRIVATE vx_lab_pnp)
